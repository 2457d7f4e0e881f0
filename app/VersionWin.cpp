#include "VersionWin.h"

#include <algorithm>

#include <QFrame>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include "AppState.h"
#include "Artwork.h"
#include "platform/Desktop.h"
#include "platform/Twips.h"

namespace quiblo {

namespace {

QLabel* makePicture(QWidget* parent, const char* name, const QPixmap& picture, int left, int top,
                    int width, int height) {
    auto* label = makeControl<QLabel>(parent, name, left, top, width, height);
    label->setPixmap(picture);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A separator two pixels wide from (left, top) to (right, top), in twips: a filled strip, as a
// frame shape of this height draws nothing.
QFrame* makeLine(QWidget* parent, const char* name, int left, int top, int right) {
    auto* line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    QPalette ink = line->palette();
    ink.setColor(QPalette::Window, ink.color(QPalette::WindowText));
    line->setPalette(ink);
    line->setAutoFillBackground(true);
    line->setGeometry(twipsToPixels(left), twipsToPixels(top) - 1,
                      twipsToPixels(right) - twipsToPixels(left), 2);
    return line;
}

QString noteText() {
    return QStringList(
               {VersionWin::tr("Quiblo: easy screen capture and upload"), QString(), QString(),
                VersionWin::tr("Thank you for using Quiblo."), QString(),
                VersionWin::tr(
                    "For comments, bugs or ideas, please post on the board at the address below.")})
        .join(QLatin1Char('\n'));
}

// A label never hides part of its text: it grows where the text needs more room than designed.
void growToText(QLabel* label) {
    const int width = std::max(label->width(), label->sizeHint().width());
    const int height =
        label->wordWrap() ? label->heightForWidth(width) : label->sizeHint().height();
    label->resize(width, std::max(label->height(), height));
}

}  // namespace

QString versionCaption() {
    return QStringLiteral("Version: %1.%2").arg(kVersionMajor).arg(kVersionMinor);
}

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    setPalette(blue);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

// A click is a press and a release on the label, as with a button.
void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click && onClick) onClick();
}

VersionWin::VersionWin(Desktop& desktop, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      desktop_(desktop) {
    setObjectName(QStringLiteral("VersionWin"));
    setWindowTitle(tr("Quiblo - About"));
    setWindowIcon(programIcon());
    setModal(true);
    buildControls();
    Form_Load();
}

void VersionWin::buildControls() {
    BackGround = makePicture(this, "BackGround", versionBackgroundPicture(), 0, 0, 7500, 4410);
    BackGround->setScaledContents(true);
    Logo = makePicture(this, "Logo", versionBannerPicture(), 0, 60, 7500, 750);
    SoftIcon = makePicture(this, "SoftIcon", programIcon().pixmap(32, 32), 120, 240, 480, 480);
    Versions = makeLabel(this, "Versions", QStringLiteral("Version: $.$"), 5160, 540, 2055, 240);
    Line1 = makeLine(this, "Line1", 705, 900, 7245);
    Note = makeLabel(this, "Note", noteText(), 720, 1080, 5820, 1080);
    Note->setWordWrap(true);
    growToText(Note);
    buildLinks();

    CloseWin = makeControl<QPushButton>(this, "CloseWin", 3098, 3840, 1275, 375);
    CloseWin->setText(QStringLiteral("&OK"));
    CloseWin->setDefault(true);
    connect(CloseWin, &QPushButton::clicked, this, &VersionWin::CloseWin_Click);
}

void VersionWin::buildLinks() {
    URL[0] = makeControl<LinkLabel>(this, "URL_0", 720, 2340, 2175, 180);
    URL[0]->setText(QStringLiteral(QUIBLO_SITE_URL));
    Line2 = makeLine(this, "Line2", 705, 2760, 7245);
    VoduIcon = makePicture(this, "VoduIcon", developerPicture(), 4080, 2940, 3030, 630);
    URLDescription = makeLabel(this, "URLDescription", tr("Developer:"), 780, 3360, 1050, 180);
    growToText(URLDescription);
    URL[1] = makeControl<LinkLabel>(this, "URL_1", 1920, 3360, 1710, 180);
    URL[1]->setText(QStringLiteral(QUIBLO_DEVELOPER_URL));
    for (int index = 0; index < 2; ++index) {
        growToText(URL[index]);
        URL[index]->onClick = [this, index] { URL_Click(index); };
    }
}

void VersionWin::Form_Load() {
    setFixedSize(twipsToPixels(7470), twipsToPixels(4380));
    centreOnScreen(this);
    Versions->setText(versionCaption());
}

void VersionWin::CloseWin_Click() {
    accept();
}

void VersionWin::reject() {
    CloseWin_Click();
}

void VersionWin::URL_Click(int index) {
    const MsgAnswer answer = desktop_.message(this, tr("Question"), tr("Open the website?"),
                                              MsgIcon::Question, MsgButtons::YesNo);
    if (answer == MsgAnswer::Yes) desktop_.openUrl(URL[index]->text());
}

}  // namespace quiblo

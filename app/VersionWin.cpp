#include "VersionWin.h"

#include <algorithm>

#include <QFrame>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "AppState.h"
#include "Artwork.h"
#include "platform/Desktop.h"
#include "platform/Twips.h"

namespace quiblo {

namespace {

const QColor kDeepBlue(0x18, 0x4a, 0x8c);
const QColor kSkyBlue(0x2f, 0x80, 0xd0);
const QColor kPale(0xf4, 0xf8, 0xfd);

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

QPixmap backgroundPicture() {
    QPixmap picture(500, 294);
    QPainter p(&picture);
    QLinearGradient shade(0, 0, 0, 294);
    shade.setColorAt(0, Qt::white);
    shade.setColorAt(1, kPale);
    p.fillRect(picture.rect(), shade);
    return picture;
}

// The banner across the top: the name beside the program icon, fading out towards the version.
QPixmap logoPicture() {
    QPixmap picture(500, 50);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 500, 0);
    band.setColorAt(0, kDeepBlue);
    band.setColorAt(0.45, kSkyBlue);
    band.setColorAt(0.7, Qt::white);
    p.fillRect(picture.rect(), band);
    QFont title = p.font();
    title.setPixelSize(24);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(52, 0, 200, 50), Qt::AlignLeft | Qt::AlignVCenter, VersionWin::tr("Quiblo"));
    return picture;
}

QPixmap developerPicture() {
    QPixmap picture(202, 42);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.drawPixmap(156, 5, programIcon().pixmap(32, 32));
    QFont name = p.font();
    name.setPixelSize(18);
    name.setBold(true);
    p.setFont(name);
    p.setPen(kDeepBlue);
    p.drawText(QRect(0, 0, 146, 42), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Quiblo Project"));
    return picture;
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
    BackGround = makePicture(this, "BackGround", backgroundPicture(), 0, 0, 7500, 4410);
    BackGround->setScaledContents(true);
    Logo = makePicture(this, "Logo", logoPicture(), 0, 60, 7500, 750);
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

#include "PreviewWin.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <algorithm>

#include "LocalCopy.h"
#include "PreviewDrag.h"
#include "imagelib/ImgctlLibrary.h"
#include "platform/Desktop.h"
#include "platform/Lines.h"
#include "platform/TextFit.h"
#include "platform/Twips.h"

namespace quiblo {

PreviewPicture::PreviewPicture(PreviewWin* win, QWidget* parent) : QWidget(parent), win_(win) {
    setObjectName(QStringLiteral("Preview"));
    setCursor(Qt::OpenHandCursor);
}

void PreviewPicture::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.drawImage(event->rect().topLeft(), picture, event->rect());
}

void PreviewPicture::mousePressEvent(QMouseEvent* event) {
    setCursor(Qt::ClosedHandCursor);
    win_->Preview_MouseDown(event->position().toPoint());
}

void PreviewPicture::mouseMoveEvent(QMouseEvent* event) {
    win_->Preview_MouseMove(event->position().toPoint(), event->buttons());
}

void PreviewPicture::mouseReleaseEvent(QMouseEvent*) {
    setCursor(Qt::OpenHandCursor);
    win_->Preview_MouseUp();
}

namespace {

// Design places that the layout formulas start from, in twips.
constexpr int kPaintLeft = 4800, kPaintWidth = 4335;
constexpr int kFrameLeft = 120, kFrameTop = 780;
constexpr int kViewportLeft = 120, kViewportTop = 240;
constexpr int kButtonWidth = 1035, kButtonHeight = 315;
constexpr int kBoxGap = 120;       // between the two check boxes, when captions push them apart
constexpr int kRightMargin = 120;  // between the second box and the window's edge

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& caption,
                        const QString& tooltip) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(tooltip);
    return box;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->hide();  // shown once the window has been laid out
    return button;
}

// Grows a box to what its caption needs, keeping its left edge and the middle of its line.
void fitToCaption(QCheckBox* box) {
    const QSize needed = box->sizeHint();
    const QRect designed = box->geometry();
    QRect fitted(designed.topLeft(), designed.size().expandedTo(needed));
    fitted.moveCenter(QPoint(fitted.center().x(), designed.center().y()));
    box->setGeometry(fitted);
}

}  // namespace

QStringList knownPaintEditors() {
    return {QStringLiteral("kolourpaint"), QStringLiteral("pinta"), QStringLiteral("drawing"),
            QStringLiteral("gimp"), QStringLiteral("krita")};
}

QString paintCommand() {
    const QString named = qEnvironmentVariable("QUIBLO_PAINT_COMMAND");
    if (!named.isEmpty()) return named;
    for (const QString& editor : knownPaintEditors()) {
        if (!QStandardPaths::findExecutable(editor).isEmpty()) return editor;
    }
    return {};
}

bool IsPaintAvailable() {
    const QString command = paintCommand();
    return !command.isEmpty() && !QStandardPaths::findExecutable(command).isEmpty();
}

QString paintEditorNote() {
    if (IsPaintAvailable()) return PreviewWin::tr("Editor: %1").arg(paintCommand());
    // The list's separator is a text of its own: each language joins a list its own way.
    return PreviewWin::tr(
               "No image editor found. Install one of %1, or name an editor in the "
               "QUIBLO_PAINT_COMMAND environment variable.")
        .arg(knownPaintEditors().join(PreviewWin::tr(", ")));
}

PreviewWin::PreviewWin(Desktop& desktop, ImgctlLibrary& imgctl, const QImage& heldPicture,
                       const QRect& shown, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      desktop_(desktop),
      imgctl_(imgctl) {
    setObjectName(QStringLiteral("PreviewWin"));
    setWindowTitle(tr("Quiblo - Confirm"));
    setModal(true);
    const QRect& wanted = shown;
    // The whole picture is shared rather than copied: at 3840x2160 a copy costs several ms
    // between F5 and this window.
    picture_ = wanted == heldPicture.rect() ? heldPicture : heldPicture.copy(wanted);
    buildControls();
    Form_Load();
}

void PreviewWin::buildControls() {
    Label1 = makeLabel(this, "Label1", tr("Captured. Upload this picture?"));
    placeTwips(Label1, 180, 120, 5955, 195);
    Label2 = makeLabel(this, "Label2",
                       tr("Do not upload other people's work without their permission.\n"
                          "The administrator may delete pictures found inappropriate."));
    Label2->setStyleSheet(QStringLiteral("color: red;"));
    placeTwips(Label2, 180, 360, 6975, 375);
    IsSaveLocalDisk = makeCheckBox(this, "IsSaveLocalDisk", tr("&Save a copy on this computer..."),
                                   tr("Check this to save a copy of the picture you upload."));
    placeTwips(IsSaveLocalDisk, 1200, 780, 3435, 195);
    IsPaintMode =
        makeCheckBox(this, "IsPaintMode", tr("&Draw on the picture in an image editor..."),
                     tr("Check this to draw on the picture before it is uploaded."));
    placeTwips(IsPaintMode, kPaintLeft, 780, kPaintWidth, 195);
    // A caption may run past the designed size in this font: let the box grow, not clip.
    for (QCheckBox* box : {IsSaveLocalDisk, IsPaintMode}) fitToCaption(box);
    // and the second box starts where the first one's caption ends.
    const int clear = IsSaveLocalDisk->geometry().right() + 1 + twipsToPixels(kBoxGap);
    if (IsPaintMode->x() < clear) IsPaintMode->move(clear, IsPaintMode->y());

    GoAheadCmd = makeButton(this, "GoAheadCmd", tr("&Yes"));
    GoAheadCmd->setDefault(true);
    QuibloStopCmd = makeButton(this, "QuibloStopCmd", tr("&No"));

    PreviewFrame = new QGroupBox(tr("Preview"), this);
    PreviewFrame->setObjectName(QStringLiteral("PreviewFrame"));
    PreviewFrame->hide();
    PreviewWaku = new QWidget(PreviewFrame);
    PreviewWaku->setObjectName(QStringLiteral("PreviewWaku"));
    PreviewWaku->setAutoFillBackground(true);
    Preview = new PreviewPicture(this, PreviewWaku);
    // The boxes sit over the frame's top edge: above it, so that they take the clicks.
    IsSaveLocalDisk->raise();
    IsPaintMode->raise();

    connect(GoAheadCmd, &QPushButton::clicked, this, &PreviewWin::GoAheadCmd_Click);
    connect(QuibloStopCmd, &QPushButton::clicked, this, &PreviewWin::QuibloStopCmd_Click);
}

void PreviewWin::Form_Load() {
    // As designed, unless the drawing box's caption needs more room in this font.
    const int width =
        std::max(kPaintLeft + kPaintWidth + 1500,
                 (IsPaintMode->geometry().right() + 1) * kTwipsPerPixel + kRightMargin);
    const int height = kFrameTop + 7000;
    setFixedSize(twipsToPixels(width), twipsToPixels(height));

    Preview->picture = picture_;
    Preview->setGeometry(QRect(QPoint(0, 0), picture_.size()));

    placeTwips(GoAheadCmd, width - 2600, 150, kButtonWidth, kButtonHeight);
    placeTwips(QuibloStopCmd, width - 1400, 150, kButtonWidth, kButtonHeight);
    const int frameWidth = width - 400, frameHeight = height - 1300;
    placeTwips(PreviewFrame, kFrameLeft, kFrameTop, frameWidth, frameHeight);
    placeTwips(PreviewWaku, kViewportLeft, kViewportTop, frameWidth - 2 * kViewportLeft,
               frameHeight - kViewportTop * 3 / 2);

    PreviewFrame->show();
    GoAheadCmd->show();
    QuibloStopCmd->show();
    fitDesignedTexts(this);
    centreOnScreen(this);
    if (!IsPaintAvailable()) IsPaintMode->setEnabled(false);
    // Which editor will open, or why none can.
    IsPaintMode->setToolTip(IsPaintMode->toolTip() + QLatin1Char('\n') + paintEditorNote());
}

void PreviewWin::Preview_MouseDown(QPoint pos) {
    pressPoint_ = pos;
}

void PreviewWin::Preview_MouseMove(QPoint pos, Qt::MouseButtons buttons) {
    if (!(buttons & Qt::LeftButton)) return;
    const QPoint next = Preview->pos() + (pos - pressPoint_);
    Preview->move(clampPreviewPosition(next, Preview->size(), PreviewWaku->size()));
}

void PreviewWin::Preview_MouseUp() {}

bool PreviewWin::askSavePath(QString* path) {
    const SaveFileRequest request = localCopyRequest();
    for (;;) {
        *path = desktop_.saveFileName(this, request);
        if (!path->isEmpty()) return true;
        if (desktop_.message(this, tr("Confirm"), tr("Cancel?"), MsgIcon::Question,
                             MsgButtons::YesNo) == MsgAnswer::Yes)
            return false;
    }
}

bool PreviewWin::saveLocalCopy(const QString& path) {
    const ImgctlLibrary::PngResult result = imgctl_.writePng(picture_, path);
    localCopyWritten_ = result.written;
    if (result.written) return true;
    desktop_.message(this, tr("Error"),
                     crLf(tr("Writing the PNG data failed.\n"
                             "Error code: %1"))
                         .arg(result.errorCode),
                     MsgIcon::Critical);
    desktop_.message(this, tr("Error"), tr("An error occurred; nothing was uploaded."),
                     MsgIcon::Critical);
    return false;
}

void PreviewWin::GoAheadCmd_Click() {
    QString path;
    if (IsSaveLocalDisk->isChecked() && askSavePath(&path) && !saveLocalCopy(path)) {
        failed();
        done(QDialog::Rejected);
        return;
    }
    if (openUploadDialog) openUploadDialog(*this);
    done(QDialog::Accepted);
}

void PreviewWin::QuibloStopCmd_Click() {
    failed();
    done(QDialog::Rejected);
}

void PreviewWin::failed() {
    if (onFailed) onFailed();
}

bool PreviewWin::paintWanted() const {
    return IsPaintMode->checkState() == Qt::Checked;
}

void PreviewWin::drawingOffered() {
    IsPaintMode->setTristate(true);
    IsPaintMode->setCheckState(Qt::PartiallyChecked);
}

void PreviewWin::reject() {
    QuibloStopCmd_Click();
}

}  // namespace quiblo

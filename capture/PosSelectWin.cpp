#include "PosSelectWin.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <array>

#include "platform/Lines.h"

namespace quiblo {

namespace {

QString tooSmallText() {
    return crLf(
        PosSelectWin::tr("The region is too small. Select at least 10 by 10 pixels.\n"
                         "Cancel?"));
}
QString notSelectedText() {
    return crLf(
        PosSelectWin::tr("No region is selected.\n"
                         "Cancel?"));
}
QString indicationText() {
    return PosSelectWin::tr(
        "[Select a region] - drag to select, right-click to confirm\n"
        "       (Space shows or hides this help)");
}

constexpr int kFrameWidth = 3;
// The read-out sits 500 twips (15 to a pixel) below the top of the help text.
constexpr int kDebugPosOffset = 500 / 15;

// The four one-pixel lines of a marked rectangle (edges included).
std::array<QRect, 4> outlineOf(const QRect& marks) {
    return {QRect(marks.left(), marks.top(), marks.width(), 1),
            QRect(marks.left(), marks.bottom(), marks.width(), 1),
            QRect(marks.left(), marks.top(), 1, marks.height()),
            QRect(marks.right(), marks.top(), 1, marks.height())};
}

// Wide enough for any read-out over a picture of this size: every number of the sample has at
// least as many digits as a real one can have.
int readOutWidth(const QFontMetrics& metrics, QSize picture) {
    const QPoint far(picture.width(), picture.height());
    constexpr int kMargin = 8;
    return metrics.horizontalAdvance(RegionSelection::rangeText(far, far * 2)) + kMargin;
}

// The red frame along the edges of the screen.
class ScreenFrame : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const int w = width(), h = height();
        painter.fillRect(0, 0, w, kFrameWidth, Qt::red);
        painter.fillRect(0, h - kFrameWidth, w, kFrameWidth, Qt::red);
        painter.fillRect(0, 0, kFrameWidth, h, Qt::red);
        painter.fillRect(w - kFrameWidth, 0, kFrameWidth, h, Qt::red);
    }
};

void setColours(QWidget* widget, const QColor& text, const QColor& background) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Window, background);
    widget->setPalette(palette);
}

// The controls only show things: presses, moves and releases over them reach the window.
void passMouseThrough(QWidget* widget) {
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
}

}  // namespace

PosSelectWin::PosSelectWin(Desktop& desktop, const QImage& picture, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), desktop_(desktop) {
    setObjectName(QStringLiteral("PosSelectWin"));
    QScreen* screen = QGuiApplication::primaryScreen();
    setScreen(screen);
    setGeometry(screen->geometry());
    setWindowState(Qt::WindowFullScreen);
    ratio_ = screen->devicePixelRatio();
    picture_ = QPixmap::fromImage(picture);
    picture_.setDevicePixelRatio(ratio_);
    // Every pixel is painted from the picture: no background fill before each repaint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    buildControls();
    Form_Load();
}

void PosSelectWin::buildControls() {
    ShapeWaku = new ScreenFrame(this);
    ShapeWaku->setObjectName(QStringLiteral("ShapeWaku"));

    ShapeBG = new QWidget(this);
    ShapeBG->setObjectName(QStringLiteral("ShapeBG"));
    setColours(ShapeBG, Qt::black, Qt::black);
    ShapeBG->setAutoFillBackground(true);

    Indication = new QLabel(this);
    Indication->setObjectName(QStringLiteral("Indication"));
    Indication->setTextFormat(Qt::PlainText);
    Indication->setText(indicationText());
    setColours(Indication, Qt::yellow, Qt::black);

    DebugPos = new QLabel(this);
    DebugPos->setObjectName(QStringLiteral("DebugPos"));
    DebugPos->setTextFormat(Qt::PlainText);
    DebugPos->setAlignment(Qt::AlignCenter);
    setColours(DebugPos, Qt::yellow, Qt::black);
    DebugPos->setAutoFillBackground(true);

    for (QWidget* control :
         {ShapeWaku, ShapeBG, static_cast<QWidget*>(Indication), static_cast<QWidget*>(DebugPos)})
        passMouseThrough(control);
}

void PosSelectWin::Form_Load() {
    RegionCancelled = false;
    const int w = width(), h = height();
    ShapeWaku->setGeometry(0, 0, w, h);

    Indication->adjustSize();
    const QSize help = Indication->size();
    const QSize backdrop(qRound(help.width() * 1.2), qRound(help.height() * 1.5));
    ShapeBG->setGeometry((w - backdrop.width()) / 2, (h - backdrop.height()) / 2, backdrop.width(),
                         backdrop.height());
    Indication->move((w - help.width()) / 2, (h - help.height()) / 2);

    const int readOut =
        std::max(help.width(), readOutWidth(DebugPos->fontMetrics(), picture_.size()));
    DebugPos->setGeometry(Indication->x(), Indication->y() + kDebugPosOffset, readOut,
                          DebugPos->fontMetrics().height());
    DebugPos->clear();
}

void PosSelectWin::reject() {
    RegionCancelled = true;
    QDialog::reject();
}

void PosSelectWin::mousePressEvent(QMouseEvent* event) {
    Form_MouseDown(event->button(), pixelOf(event));
}

void PosSelectWin::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove(event->buttons(), pixelOf(event));
}

void PosSelectWin::mouseReleaseEvent(QMouseEvent* event) {
    Form_MouseUp(event->button(), pixelOf(event));
}

void PosSelectWin::keyPressEvent(QKeyEvent* event) {
    // Only space does anything; QDialog's own keys (Escape, Enter) must not close the overlay.
    Form_KeyPress(event->key());
    event->accept();
}

void PosSelectWin::Form_MouseDown(Qt::MouseButton button, QPoint pos) {
    selection_.press(button, pos);
}

void PosSelectWin::Form_MouseMove(Qt::MouseButtons held, QPoint pos) {
    const std::optional<QRect> before = selection_.marks();
    selection_.move(held, pos);
    DebugPos->setText(selection_.readOut());
    const std::optional<QRect> after = selection_.marks();
    // Only the old and the new lines change: repainting the whole picture on every move would
    // make dragging over a large screen stutter.
    if (before != after) update(outlineRegion(before) + outlineRegion(after));
}

void PosSelectWin::Form_MouseUp(Qt::MouseButton button, QPoint pos) {
    const RegionSelection::Outcome outcome = selection_.release(button, pos);
    DebugPos->setText(selection_.readOut());
    switch (outcome) {
        case RegionSelection::Outcome::Accepted:
            accept();
            break;
        case RegionSelection::Outcome::TooSmall:
            askCancel(tooSmallText(), MsgAnswer::No);
            break;
        case RegionSelection::Outcome::NotSelected:
            askCancel(notSelectedText(), MsgAnswer::Yes);
            break;
        case RegionSelection::Outcome::None:
            break;
    }
}

void PosSelectWin::Form_KeyPress(int key) {
    if (key != Qt::Key_Space) return;
    const bool show = Indication->isHidden();
    Indication->setVisible(show);
    DebugPos->setVisible(show);
    ShapeBG->setVisible(show);
}

void PosSelectWin::askCancel(const QString& text, MsgAnswer defaultButton) {
    const MsgAnswer answer = desktop_.message(this, tr("Confirm"), text, MsgIcon::Question,
                                              MsgButtons::YesNo, defaultButton);
    if (answer == MsgAnswer::Yes) reject();
}

QPoint PosSelectWin::pixelOf(const QMouseEvent* event) const {
    return devicePixelOf(event->position(), ratio_);
}

QRegion PosSelectWin::outlineRegion(const std::optional<QRect>& marks) const {
    QRegion region;
    if (!marks) return region;
    for (const QRect& line : outlineOf(*marks)) {
        const QRectF logical(line.x() / ratio_, line.y() / ratio_, line.width() / ratio_,
                             line.height() / ratio_);
        region += logical.toAlignedRect().adjusted(-1, -1, 1, 1);
    }
    return region;
}

void PosSelectWin::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect pictureArea(QPoint(0, 0), picture_.deviceIndependentSize().toSize());
    for (const QRect& part : event->region() & pictureArea) {
        const QRectF source(part.x() * ratio_, part.y() * ratio_, part.width() * ratio_,
                            part.height() * ratio_);
        painter.drawPixmap(QRectF(part), picture_, source);
    }
    for (const QRect& rest : event->region() - pictureArea) painter.fillRect(rest, Qt::black);
    if (const std::optional<QRect> marks = selection_.marks()) drawMarks(painter, *marks);
}

void PosSelectWin::drawMarks(QPainter& painter, const QRect& marks) const {
    // The lines are one pixel of the picture wide, also on a scaled screen.
    painter.save();
    painter.scale(1 / ratio_, 1 / ratio_);
    for (const QRect& line : outlineOf(marks)) painter.fillRect(line, Qt::red);
    painter.restore();
}

}  // namespace quiblo

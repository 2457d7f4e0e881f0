// The region overlay: the frozen screenshot over the whole screen, on which the user drags a
// rectangle with the left button and confirms it with a right click.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPixmap>

#include "RegionSelection.h"
#include "platform/Desktop.h"

class QLabel;
class QPainter;

namespace quiblo {

class PosSelectWin : public QDialog {
    Q_OBJECT

public:
    // picture: the screenshot of the primary screen, in its device pixels. The window covers
    // that screen; exec() returns Accepted with a range, Rejected when the user gave up.
    PosSelectWin(Desktop& desktop, const QImage& picture, QWidget* parent = nullptr);

    // True when the user gave up (or the window was closed from outside).
    bool cancelled() const { return RegionCancelled; }
    // The marked range in device pixels of the picture: left, top, width, height. Valid after
    // exec() returned Accepted.
    QRect captureRect() const { return selection_.rect(); }

    // Controls, named as designed.
    QWidget* ShapeWaku;
    QWidget* ShapeBG;
    QLabel* Indication;
    QLabel* DebugPos;

    // Closing from outside (window manager, Escape handling of QDialog) counts as giving up.
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void Form_MouseDown(Qt::MouseButton button, QPoint pos);
    void Form_MouseMove(Qt::MouseButtons held, QPoint pos);
    void Form_MouseUp(Qt::MouseButton button, QPoint pos);
    void Form_KeyPress(int key);
    void askCancel(const QString& text, MsgAnswer defaultButton);
    QPoint pixelOf(const QMouseEvent* event) const;
    QRegion outlineRegion(const std::optional<QRect>& marks) const;
    void drawMarks(QPainter& painter, const QRect& marks) const;

    Desktop& desktop_;
    QPixmap picture_;
    qreal ratio_ = 1;
    RegionSelection selection_;
    bool RegionCancelled = false;
};

}  // namespace quiblo

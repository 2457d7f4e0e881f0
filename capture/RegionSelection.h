// What the region overlay makes of the mouse: a rectangle marked with the left button and
// confirmed with the right, in device pixels of the captured picture. No window is involved, so
// the rules can be exercised directly.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QString>
#include <optional>

namespace quiblo {

class RegionSelection {
public:
    // What a button release asks of the window.
    enum class Outcome {
        None,         // nothing further
        Accepted,     // the range is taken: close with rect()
        TooSmall,     // ask whether to cancel, the range being under 10 pixels
        NotSelected,  // ask whether to cancel, no range having been marked
    };

    // A selection must be at least this many pixels in each direction.
    static constexpr int kMinimumSide = 10;

    void press(Qt::MouseButton button, QPoint pos);
    void move(Qt::MouseButtons held, QPoint pos);
    Outcome release(Qt::MouseButton button, QPoint pos);

    // The position read-out; empty until the mouse first moves or is released.
    QString readOut() const { return readOut_; }
    // The rectangle whose outline the last drag drew (its edges are the lines, both ends
    // included); none before the first drag. It stays until the next drag moves.
    std::optional<QRect> marks() const { return marks_; }
    // The accepted range: left, top, width, height. Valid once release() returned Accepted.
    QRect rect() const { return rect_; }

    bool rangeSet() const { return rangeSet_; }
    QPoint start() const { return start_; }
    QPoint end() const { return end_; }

    // "範囲:(10,20) - (110,220) / サイズ: 100x200"
    static QString rangeText(QPoint start, QPoint pointer);
    // "始点:(5,6) - (   ,   ) / サイズ:    x   "
    static QString startText(QPoint pointer);

private:
    Outcome confirm();
    bool largeEnough() const;

    bool mouseDown_ = false;
    bool rangeSet_ = false;
    QPoint start_;
    QPoint end_;
    QString readOut_;
    std::optional<QRect> marks_;
    QRect rect_;
};

// A window position (logical pixels) as a device pixel of a screen with the given scale factor.
QPoint devicePixelOf(QPointF logical, qreal ratio);

}  // namespace quiblo

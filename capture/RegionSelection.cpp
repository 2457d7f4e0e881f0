#include "RegionSelection.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace quiblo {

namespace {

const QString kBlank = QStringLiteral("   ");

QString number(int value) {
    return QString::number(value);
}

int toDevice(qreal logical, qreal ratio) {
    // Qt hands over device positions divided by the ratio; multiplied back they can land a hair
    // below the whole pixel they came from, which truncation would turn into the pixel before.
    constexpr qreal kSlack = 1e-6;
    const qreal device = logical * ratio;
    return static_cast<int>(device < 0 ? device - kSlack : device + kSlack);
}

}  // namespace

void RegionSelection::press(Qt::MouseButton button, QPoint pos) {
    mouseDown_ = true;
    if (button == Qt::LeftButton) start_ = pos;
}

void RegionSelection::move(Qt::MouseButtons held, QPoint pos) {
    if ((held & Qt::LeftButton) && mouseDown_) {
        marks_ = QRect(QPoint(std::min(start_.x(), pos.x()), std::min(start_.y(), pos.y())),
                       QPoint(std::max(start_.x(), pos.x()), std::max(start_.y(), pos.y())));
        readOut_ = rangeText(start_, pos);
    } else {
        readOut_ = startText(pos);
    }
}

RegionSelection::Outcome RegionSelection::release(Qt::MouseButton button, QPoint pos) {
    mouseDown_ = false;
    readOut_ = startText(pos);
    if (button == Qt::LeftButton) {
        rangeSet_ = true;
        end_ = pos;
        return Outcome::None;
    }
    if (button == Qt::RightButton) return confirm();
    return Outcome::None;
}

RegionSelection::Outcome RegionSelection::confirm() {
    if (!rangeSet_) return Outcome::NotSelected;
    if (!largeEnough()) return Outcome::TooSmall;
    if (start_.x() > end_.x()) std::swap(start_.rx(), end_.rx());
    if (start_.y() > end_.y()) std::swap(start_.ry(), end_.ry());
    rect_ = QRect(start_.x(), start_.y(), end_.x() - start_.x(), end_.y() - start_.y());
    rangeSet_ = false;
    return Outcome::Accepted;
}

bool RegionSelection::largeEnough() const {
    return std::abs(end_.x() - start_.x()) >= kMinimumSide &&
           std::abs(end_.y() - start_.y()) >= kMinimumSide;
}

QString RegionSelection::rangeText(QPoint start, QPoint pointer) {
    return QCoreApplication::translate("RegionSelection", "Region: (%1,%2) - (%3,%4) / Size: %5x%6")
        .arg(number(start.x()), number(start.y()), number(pointer.x()), number(pointer.y()),
             number(std::abs(start.x() - pointer.x())), number(std::abs(start.y() - pointer.y())));
}

QString RegionSelection::startText(QPoint pointer) {
    return QCoreApplication::translate("RegionSelection", "Start: (%1,%2) - (%3,%3) / Size: %3x%3")
        .arg(number(pointer.x()), number(pointer.y()), kBlank);
}

QPoint devicePixelOf(QPointF logical, qreal ratio) {
    return QPoint(toDevice(logical.x(), ratio), toDevice(logical.y(), ratio));
}

}  // namespace quiblo

// The selection rules of the region overlay, without a window: marking with the left button,
// confirming with the right, the 10-pixel rule and the position read-out.
#include <gtest/gtest.h>

#include "capture/RegionSelection.h"

using namespace quiblo;
using Outcome = RegionSelection::Outcome;

namespace {

void leftDrag(RegionSelection& selection, QPoint from, QPoint to) {
    selection.press(Qt::LeftButton, from);
    selection.move(Qt::LeftButton, to);
    selection.release(Qt::LeftButton, to);
}

Outcome rightClick(RegionSelection& selection, QPoint at = QPoint(400, 300)) {
    selection.press(Qt::RightButton, at);
    return selection.release(Qt::RightButton, at);
}

// The outcome of a right click after one left drag over the given offset from (100, 200).
Outcome confirmDragOf(int dx, int dy) {
    RegionSelection selection;
    leftDrag(selection, QPoint(100, 200), QPoint(100 + dx, 200 + dy));
    return rightClick(selection);
}

}  // namespace

TEST(RegionRules, TenPixelsEachWayIsAcceptedAsLeftTopWidthHeight) {
    RegionSelection selection;
    leftDrag(selection, QPoint(100, 200), QPoint(110, 210));
    EXPECT_EQ(rightClick(selection), Outcome::Accepted);
    EXPECT_EQ(selection.rect(), QRect(100, 200, 10, 10));
    EXPECT_FALSE(selection.rangeSet());
}

TEST(RegionRules, NinePixelsInEitherDirectionIsTooSmall) {
    EXPECT_EQ(confirmDragOf(9, 10), Outcome::TooSmall);
    EXPECT_EQ(confirmDragOf(10, 9), Outcome::TooSmall);
    EXPECT_EQ(confirmDragOf(-9, -10), Outcome::TooSmall);
    EXPECT_EQ(confirmDragOf(-10, -9), Outcome::TooSmall);
    EXPECT_EQ(confirmDragOf(-10, -10), Outcome::Accepted);
    EXPECT_EQ(confirmDragOf(10, -10), Outcome::Accepted);
}

TEST(RegionRules, ClickWithoutMovementIsTooSmall) {
    RegionSelection selection;
    selection.press(Qt::LeftButton, QPoint(50, 60));
    selection.release(Qt::LeftButton, QPoint(50, 60));
    EXPECT_EQ(rightClick(selection), Outcome::TooSmall);
}

TEST(RegionRules, ReversedDragsGiveTheSameRectangle) {
    const QPoint topLeft(30, 40), bottomRight(330, 240);
    const QPoint topRight(330, 40), bottomLeft(30, 240);
    const std::pair<QPoint, QPoint> drags[] = {{bottomRight, topLeft},
                                               {topRight, bottomLeft},
                                               {bottomLeft, topRight},
                                               {topLeft, bottomRight}};
    for (const auto& [from, to] : drags) {
        RegionSelection selection;
        leftDrag(selection, from, to);
        ASSERT_EQ(rightClick(selection), Outcome::Accepted);
        EXPECT_EQ(selection.rect(), QRect(30, 40, 300, 200)) << from.x() << "," << from.y();
    }
}

TEST(RegionRules, RightClickWithoutAFinishedLeftDragIsNotSelected) {
    RegionSelection fresh;
    EXPECT_EQ(rightClick(fresh), Outcome::NotSelected);

    // The left button still held: no end point yet.
    RegionSelection holding;
    holding.press(Qt::LeftButton, QPoint(10, 10));
    holding.move(Qt::LeftButton, QPoint(200, 200));
    EXPECT_EQ(rightClick(holding, QPoint(200, 200)), Outcome::NotSelected);
}

TEST(RegionRules, RightButtonDragsMarkNothing) {
    RegionSelection selection;
    selection.press(Qt::RightButton, QPoint(10, 10));
    selection.move(Qt::RightButton, QPoint(200, 200));
    EXPECT_FALSE(selection.marks().has_value());
    EXPECT_EQ(selection.release(Qt::RightButton, QPoint(200, 200)), Outcome::NotSelected);
    EXPECT_FALSE(selection.rangeSet());
}

TEST(RegionRules, AQuestionAnsweredNoKeepsTheRangeAndTheMarks) {
    RegionSelection selection;
    leftDrag(selection, QPoint(100, 100), QPoint(105, 180));
    ASSERT_EQ(rightClick(selection), Outcome::TooSmall);
    EXPECT_TRUE(selection.rangeSet());
    EXPECT_EQ(selection.marks(), QRect(QPoint(100, 100), QPoint(105, 180)));

    // Widening the same selection is then accepted.
    leftDrag(selection, QPoint(100, 100), QPoint(150, 180));
    EXPECT_EQ(rightClick(selection), Outcome::Accepted);
    EXPECT_EQ(selection.rect(), QRect(100, 100, 50, 80));
}

TEST(RegionRules, ANewPressReplacesTheStartAndANewReleaseTheEnd) {
    RegionSelection selection;
    leftDrag(selection, QPoint(100, 100), QPoint(200, 200));
    // A new press with the right click given before its release: new start, old end.
    selection.press(Qt::LeftButton, QPoint(50, 60));
    EXPECT_EQ(rightClick(selection, QPoint(50, 60)), Outcome::Accepted);
    EXPECT_EQ(selection.rect(), QRect(50, 60, 150, 140));

    RegionSelection again;
    leftDrag(again, QPoint(100, 100), QPoint(200, 200));
    leftDrag(again, QPoint(300, 310), QPoint(400, 420));
    EXPECT_EQ(rightClick(again), Outcome::Accepted);
    EXPECT_EQ(again.rect(), QRect(300, 310, 100, 110));
}

TEST(RegionRules, OtherButtonsNeitherMarkNorConfirm) {
    RegionSelection selection;
    selection.press(Qt::MiddleButton, QPoint(10, 10));
    EXPECT_EQ(selection.release(Qt::MiddleButton, QPoint(100, 100)), Outcome::None);
    EXPECT_FALSE(selection.rangeSet());
}

TEST(RegionReadOut, ShowsTheRangeWhileDraggingAndTheStartOtherwise) {
    RegionSelection selection;
    EXPECT_TRUE(selection.readOut().isEmpty());

    selection.move(Qt::NoButton, QPoint(5, 6));
    EXPECT_EQ(selection.readOut(), QStringLiteral("始点:(5,6) - (   ,   ) / サイズ:    x   "));

    selection.press(Qt::LeftButton, QPoint(10, 20));
    selection.move(Qt::LeftButton, QPoint(110, 220));
    EXPECT_EQ(selection.readOut(), QStringLiteral("範囲:(10,20) - (110,220) / サイズ: 100x200"));

    selection.release(Qt::LeftButton, QPoint(111, 221));
    EXPECT_EQ(selection.readOut(), QStringLiteral("始点:(111,221) - (   ,   ) / サイズ:    x   "));
}

TEST(RegionReadOut, SizesAreDistancesWhicheverWayTheDragGoes) {
    RegionSelection selection;
    selection.press(Qt::LeftButton, QPoint(110, 220));
    selection.move(Qt::LeftButton, QPoint(10, 20));
    EXPECT_EQ(selection.readOut(), QStringLiteral("範囲:(110,220) - (10,20) / サイズ: 100x200"));
}

TEST(RegionReadOut, AnyReleaseEndsTheDrag) {
    // Left held throughout; the right button goes down and up meanwhile.
    RegionSelection selection;
    selection.press(Qt::LeftButton, QPoint(10, 20));
    selection.move(Qt::LeftButton, QPoint(50, 60));
    selection.press(Qt::RightButton, QPoint(50, 60));
    selection.release(Qt::RightButton, QPoint(50, 60));
    selection.move(Qt::LeftButton, QPoint(70, 80));
    EXPECT_EQ(selection.readOut(), QStringLiteral("始点:(70,80) - (   ,   ) / サイズ:    x   "));
    EXPECT_EQ(selection.marks(), QRect(QPoint(10, 20), QPoint(50, 60)));
}

TEST(RegionMarks, FollowTheDragAndStayUntilTheNextOneMoves) {
    RegionSelection selection;
    EXPECT_FALSE(selection.marks().has_value());

    selection.press(Qt::LeftButton, QPoint(200, 150));
    selection.move(Qt::LeftButton, QPoint(100, 300));
    EXPECT_EQ(selection.marks(), QRect(QPoint(100, 150), QPoint(200, 300)));
    selection.release(Qt::LeftButton, QPoint(100, 300));
    selection.move(Qt::NoButton, QPoint(500, 500));
    EXPECT_EQ(selection.marks(), QRect(QPoint(100, 150), QPoint(200, 300)));

    // A press alone keeps them; the first move of the new drag replaces them.
    selection.press(Qt::LeftButton, QPoint(10, 10));
    EXPECT_EQ(selection.marks(), QRect(QPoint(100, 150), QPoint(200, 300)));
    selection.move(Qt::LeftButton, QPoint(12, 10));
    EXPECT_EQ(selection.marks(), QRect(QPoint(10, 10), QPoint(12, 10)));
}

TEST(DevicePixels, PositionsAreMultipliedByTheScaleAndTruncated) {
    EXPECT_EQ(devicePixelOf(QPointF(10, 7), 1), QPoint(10, 7));
    EXPECT_EQ(devicePixelOf(QPointF(10.5, 7.25), 2), QPoint(21, 14));
    EXPECT_EQ(devicePixelOf(QPointF(10.5, 7.25), 1.5), QPoint(15, 10));
    EXPECT_EQ(devicePixelOf(QPointF(0.6, 0.66), 1.5), QPoint(0, 0));
}

TEST(DevicePixels, EveryPixelOfALargeScreenComesBackFromItsLogicalPosition) {
    // Qt reports device positions divided by the scale; they must map back to the same pixel.
    for (qreal ratio : {1.25, 1.5, 1.75, 2.0}) {
        for (int pixel = 0; pixel < 3840; ++pixel) {
            const qreal logical = pixel / ratio;
            ASSERT_EQ(devicePixelOf(QPointF(logical, logical), ratio), QPoint(pixel, pixel))
                << "ratio " << ratio;
        }
    }
}

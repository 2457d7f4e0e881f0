// The X11 screen source on X servers of the tests' own, with known pictures on their screens:
// through shared memory, through plain GetImage (MIT-SHM switched off) and on a 16-bit screen.
#include <gtest/gtest.h>
#include <unistd.h>

#include "ScreenPictures.h"
#include "XvfbDisplay.h"
#include "capture/X11ScreenSource.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

const QSize kScreen(640, 480);
// _NET_FRAME_EXTENTS of a window manager's frame: left, right, top (title bar), bottom.
const std::vector<uint32_t> kFrame = {5, 7, 20, 3};

struct Server {
    const char* name;
    int depth;
    std::vector<std::string> arguments;
    bool shared;  // grabs go through shared memory
};

void PrintTo(const Server& server, std::ostream* out) {
    *out << server.name;
}

class ScreenGrab : public ::testing::TestWithParam<Server> {
protected:
    void SetUp() override {
        ASSERT_TRUE(display.running()) << display.failure();
        source = X11ScreenSource::open(display.name().c_str());
        ASSERT_TRUE(source);
        screen = onScreen(pattern(kScreen, 1));
        display.showOnRoot(screen);
    }

    QImage onScreen(const QImage& picture) const {
        return GetParam().depth == 16 ? as16Bit(picture) : picture;
    }
    // Shows a window of known content at `inside` and makes it the active one.
    QImage showActiveWindow(const QRect& inside, const std::vector<uint32_t>& frame,
                            const char* frameProperty = "_NET_FRAME_EXTENTS") {
        const QImage content = onScreen(pattern(inside.size(), 2));
        const xcb_window_t window = display.showWindow(inside, content);
        display.setProperty(window, frameProperty, XCB_ATOM_CARDINAL, frame);
        display.setProperty(display.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {window});
        return composed(screen, content, inside);
    }

    XvfbDisplay display{kScreen, GetParam().depth, GetParam().arguments};
    std::unique_ptr<X11ScreenSource> source;
    QImage screen;
};

TEST_P(ScreenGrab, FullScreenIsThePictureOnTheScreen) {
    EXPECT_EQ(differenceOf(source->grabScreen(), screen), "");
    EXPECT_EQ(source->lastGrabUsedSharedMemory(), GetParam().shared);
    EXPECT_EQ(source->segmentsCreated(), GetParam().shared ? 1 : 0);
}

TEST_P(ScreenGrab, ActiveWindowComesWithItsFrame) {
    const QImage expected = showActiveWindow(QRect(100, 80, 200, 150), kFrame);
    const QRect frame(95, 60, 212, 173);
    EXPECT_EQ(differenceOf(source->grabActiveWindow(), expected.copy(frame)), "");
    EXPECT_EQ(source->lastGrabUsedSharedMemory(), GetParam().shared);
}

TEST_P(ScreenGrab, ShadowDrawnByTheClientIsLeftOut) {
    // _GTK_FRAME_EXTENTS: the shadow inside the client's own window, left, right, top, bottom.
    const QImage expected =
        showActiveWindow(QRect(150, 100, 240, 180), {10, 12, 6, 14}, "_GTK_FRAME_EXTENTS");
    EXPECT_EQ(differenceOf(source->grabActiveWindow(), expected.copy(160, 106, 218, 160)), "");
}

TEST_P(ScreenGrab, WindowPartlyOffTheScreenIsClipped) {
    {
        SCOPED_TRACE("off the left and the bottom");
        const QImage expected = showActiveWindow(QRect(-40, 400, 200, 150), kFrame);
        EXPECT_EQ(differenceOf(source->grabActiveWindow(), expected.copy(0, 380, 167, 100)), "");
    }
    {
        SCOPED_TRACE("off the right and the top");
        const QImage expected = showActiveWindow(QRect(560, -30, 200, 100), kFrame);
        EXPECT_EQ(differenceOf(source->grabActiveWindow(), expected.copy(555, 0, 85, 73)), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, ScreenGrab,
                         ::testing::Values(Server{"SharedMemory", 24, {}, true},
                                           Server{"GetImage", 24, {"-extension", "MIT-SHM"}, false},
                                           Server{"SixteenBit", 16, {}, true}),
                         [](const ::testing::TestParamInfo<Server>& server) {
                             return std::string(server.param.name);
                         });

class ScreenGrabDetails : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(display.running()) << display.failure();
        source = X11ScreenSource::open(display.name().c_str());
        ASSERT_TRUE(source);
        display.showOnRoot(screen);
    }

    XvfbDisplay display{kScreen, 24};
    std::unique_ptr<X11ScreenSource> source;
    QImage screen = pattern(kScreen, 1);
};

TEST_F(ScreenGrabDetails, LaterGrabsReuseTheSegmentAndSeeTheNewScreen) {
    source->prepare();
    source->prepare();
    EXPECT_EQ(differenceOf(source->grabScreen(), screen), "");

    const QImage changed = pattern(kScreen, 77);
    display.showOnRoot(changed);
    source->prepare();
    EXPECT_EQ(differenceOf(source->grabScreen(), changed), "");
    EXPECT_TRUE(source->lastGrabUsedSharedMemory());

    const QRect inside(10, 20, 30, 40);
    const xcb_window_t window = display.showWindow(inside, pattern(inside.size(), 5));
    display.setProperty(display.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {window});
    EXPECT_EQ(differenceOf(source->grabActiveWindow(), pattern(inside.size(), 5)), "");
    EXPECT_TRUE(source->lastGrabUsedSharedMemory());
    EXPECT_EQ(source->segmentsCreated(), 1);
}

TEST_F(ScreenGrabDetails, WindowBorderBelongsToTheWindow) {
    const QRect inside(200, 150, 120, 90);
    const QImage content = pattern(inside.size(), 9);
    const QRgb borderColour = qRgb(0xd0, 0x20, 0x40);
    const xcb_window_t window = display.showWindow(inside, content, 3, borderColour);
    display.setProperty(display.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {window});

    const QRect outer = inside.adjusted(-3, -3, 3, 3);
    const QImage expected = composed(filled(screen, outer, borderColour), content, inside);
    EXPECT_EQ(differenceOf(source->grabActiveWindow(), expected.copy(outer)), "");
}

TEST_F(ScreenGrabDetails, NoActiveWindowGivesNoPicture) {
    EXPECT_TRUE(source->grabActiveWindow().isNull()) << "no _NET_ACTIVE_WINDOW on the root";

    display.setProperty(display.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {0});
    EXPECT_TRUE(source->grabActiveWindow().isNull()) << "_NET_ACTIVE_WINDOW is None";

    const QRect inside(10, 10, 50, 50);
    const xcb_window_t gone = display.showWindow(inside, pattern(inside.size(), 3));
    display.setProperty(display.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {gone});
    ASSERT_FALSE(source->grabActiveWindow().isNull());
    display.destroyWindow(gone);
    EXPECT_TRUE(source->grabActiveWindow().isNull()) << "the active window no longer exists";

    const QRect away(700, 100, 50, 50);
    const xcb_window_t off = display.showWindow(away, pattern(away.size(), 4));
    display.setProperty(display.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {off});
    EXPECT_TRUE(source->grabActiveWindow().isNull()) << "the window lies beside the screen";
}

// The foreground window is the topmost one of the stacking list that the user can see and that
// is not this program's own: its hidden main window, minimised windows, the desktop and panels
// are passed over.
TEST_F(ScreenGrabDetails, ForegroundIsTheTopmostVisibleWindowOfAnotherProgram) {
    const QRect belowPlace(20, 20, 60, 40), place(100, 50, 80, 60);
    const xcb_window_t below = display.showWindow(belowPlace, pattern(belowPlace.size(), 2));
    const xcb_window_t wanted = display.showWindow(place, pattern(place.size(), 6));
    const xcb_window_t own = display.showWindow(QRect(0, 0, 30, 30), pattern(QSize(30, 30), 7));
    display.setProperty(own, "_NET_WM_PID", XCB_ATOM_CARDINAL, {uint32_t(getpid())});
    const xcb_window_t minimised =
        display.showWindow(QRect(5, 5, 20, 20), pattern(QSize(20, 20), 8));
    display.setProperty(minimised, "_NET_WM_STATE", XCB_ATOM_ATOM,
                        {display.atomNamed("_NET_WM_STATE_HIDDEN")});
    const xcb_window_t dock = display.showWindow(QRect(0, 0, 40, 10), pattern(QSize(40, 10), 9));
    display.setProperty(dock, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM,
                        {display.atomNamed("_NET_WM_WINDOW_TYPE_DOCK")});
    const xcb_window_t desk = display.showWindow(QRect(0, 0, 10, 10), pattern(QSize(10, 10), 10));
    display.setProperty(desk, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM,
                        {display.atomNamed("_NET_WM_WINDOW_TYPE_DESKTOP")});
    const xcb_window_t unmapped =
        display.showWindow(QRect(0, 0, 10, 10), pattern(QSize(10, 10), 11));
    display.unmapWindow(unmapped);
    // Bottom to top; the active window still names this program's own, hidden, window.
    display.setProperty(display.root(), "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW,
                        {below, wanted, own, minimised, dock, desk, unmapped});
    display.setProperty(display.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {own});
    EXPECT_EQ(differenceOf(source->grabActiveWindow(), pattern(place.size(), 6)), "");

    // Nothing but this program's own window and those passed over: no picture at all.
    display.setProperty(display.root(), "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW,
                        {own, minimised, dock, desk, unmapped});
    EXPECT_TRUE(source->grabActiveWindow().isNull());
}

// "The screen" is the primary monitor: the one marked primary, else the first; the whole root
// where RandR lists none.
TEST(PrimaryMonitor, MarkedPrimaryElseFirstElseTheWholeScreen) {
    const QSize root(2560, 1024);
    const QRect left(0, 0, 1280, 1024), right(1280, 0, 1280, 1024);
    EXPECT_EQ(primaryMonitorArea({{left, false}, {right, true}}, root), right);
    EXPECT_EQ(primaryMonitorArea({{right, false}, {left, false}}, root), right);
    EXPECT_EQ(primaryMonitorArea({}, root), QRect(QPoint(0, 0), root));
    // A monitor reaching past the root is cut to it.
    EXPECT_EQ(primaryMonitorArea({{QRect(2000, 0, 1280, 1024), true}}, root),
              QRect(2000, 0, 560, 1024));
}

TEST_F(ScreenGrabDetails, OneMonitorIsTheWholeScreen) {
    EXPECT_EQ(source->primaryScreenRect(), QRect(QPoint(0, 0), kScreen));
    EXPECT_EQ(differenceOf(source->grabScreen(), screen), "");
}

}  // namespace

// Where captured pictures come from. One source is chosen at start (makeScreenSource): KWin's
// own screenshot interface on KDE Plasma's Wayland, the desktop's screenshot portal in another
// Wayland session, X11 through xcb on an X display, otherwise the null source, which has no
// screen to give.
#pragma once

#include <QImage>
#include <QRect>
#include <memory>

namespace quiblo {

// Why a grab gave no picture, where the desktop said why: its screen capture is missing
// (no portal), or the user or the desktop refused it.
enum class GrabFailure { None, Unavailable, Refused };

class ScreenSource {
public:
    virtual ~ScreenSource() = default;

    // False for the null source: captures take the version-failure path.
    virtual bool available() const = 0;
    // Called while the capture waits with the main window hidden, so that grabbing later is
    // quick (shared memory set up, the screen size read). May be called more than once.
    virtual void prepare() {}
    // The primary screen in device pixels (Format_RGB32); a null picture on failure.
    virtual QImage grabScreen() = 0;
    // Where the primary screen lies on the whole desktop, in device pixels: the primary monitor
    // (the first one when none is marked primary). Empty when the source cannot tell.
    virtual QRect primaryScreenRect() { return {}; }
    // The active window with its frame, clipped to the screen (Format_RGB32); a null picture
    // when there is no active window or it lies off the screen.
    virtual QImage grabActiveWindow() = 0;
    // After a grab that gave a null picture: why, where the desktop told (None otherwise).
    virtual GrabFailure lastFailure() const { return GrabFailure::None; }
};

// The null source: no screen.
class NullScreenSource : public ScreenSource {
public:
    bool available() const override { return false; }
    QImage grabScreen() override { return {}; }
    QImage grabActiveWindow() override { return {}; }
};

// The desktop's screenshot portal in a Wayland session (Qt on Wayland, or an X11 connection
// inside a Wayland session); X11 through xcb on an X display; else the null source.
std::unique_ptr<ScreenSource> makeScreenSource();

}  // namespace quiblo

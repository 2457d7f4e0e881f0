// The screen of an X server, read through its own xcb connection: MIT-SHM into a shared segment
// that is kept from grab to grab, or plain GetImage where the server has no shared memory for us.
#pragma once

#include <QRect>
#include <memory>
#include <optional>
#include <vector>

#include "capture/ScreenSource.h"
#include "capture/X11Handles.h"
#include "capture/X11PixelLayout.h"

namespace quiblo {

// One monitor of the screen, as RandR lists it.
struct Monitor {
    QRect area;
    bool primary = false;
};

// The primary monitor's area: the one marked primary, else the first; the whole screen when
// there are none.
QRect primaryMonitorArea(const std::vector<Monitor>& monitors, QSize screen);

class X11ScreenSource : public ScreenSource {
public:
    // Connects to `displayName` (nullptr: the DISPLAY of the environment); nullptr when no
    // display answers.
    static std::unique_ptr<X11ScreenSource> open(const char* displayName = nullptr);

    bool available() const override { return true; }
    void prepare() override;
    QImage grabScreen() override;
    QImage grabActiveWindow() override;
    QRect primaryScreenRect() override;

    // Whether the last grab went through shared memory, and how many segments were set up so
    // far: one as long as the screen keeps its size.
    bool lastGrabUsedSharedMemory() const { return lastGrabShared_; }
    int segmentsCreated() const { return segmentsCreated_; }

private:
    struct Atoms {
        xcb_atom_t activeWindow = XCB_ATOM_NONE;
        xcb_atom_t frameExtents = XCB_ATOM_NONE;
        xcb_atom_t gtkFrameExtents = XCB_ATOM_NONE;
        xcb_atom_t clientListStacking = XCB_ATOM_NONE;
        xcb_atom_t wmPid = XCB_ATOM_NONE;
        xcb_atom_t wmState = XCB_ATOM_NONE;
        xcb_atom_t stateHidden = XCB_ATOM_NONE;
        xcb_atom_t windowType = XCB_ATOM_NONE;
        xcb_atom_t typeDesktop = XCB_ATOM_NONE;
        xcb_atom_t typeDock = XCB_ATOM_NONE;
    };

    X11ScreenSource(x11::Connection connection, xcb_screen_t* screen);

    QSize screenSize() const;
    std::vector<Monitor> monitors() const;
    bool ensureSegment(QSize screen);
    QImage grab(const QRect& area, QSize screen);
    QImage grabShared(const QRect& area);
    QImage grabPlain(const QRect& area);
    xcb_window_t foregroundWindow() const;
    xcb_window_t activeWindow() const;
    std::optional<std::vector<uint32_t>> rootList(xcb_atom_t property, xcb_atom_t type) const;
    bool isCandidate(xcb_window_t window) const;
    QRect frameRect(xcb_window_t window, QSize screen) const;

    x11::Connection connection_;
    xcb_screen_t* screen_;  // inside the connection's setup
    std::optional<x11::PixelLayout> layout_;
    Atoms atoms_;
    bool randrMonitors_ = false;                   // the server lists RandR 1.5 monitors
    bool sharedMemory_ = false;                    // the server has MIT-SHM and has not failed us
    std::unique_ptr<x11::SharedSegment> segment_;  // destroyed before the connection
    QSize segmentScreen_;
    bool lastGrabShared_ = false;
    int segmentsCreated_ = 0;
};

}  // namespace quiblo

// An X session of a test's own: Xvfb with a real window manager (openbox, which keeps the EWMH
// properties a desktop has: _NET_CLIENT_LIST_STACKING, _NET_ACTIVE_WINDOW, _NET_FRAME_EXTENTS),
// and input through XTest (xdotool), so that a key or a click goes where a person's would.
#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/screen/XvfbDisplay.h"

namespace quiblo::test {

class WindowManagerSession {
public:
    // A screen of `size`, managed by openbox once the constructor returns.
    explicit WindowManagerSession(QSize size);
    ~WindowManagerSession();
    WindowManagerSession(const WindowManagerSession&) = delete;
    WindowManagerSession& operator=(const WindowManagerSession&) = delete;

    bool running() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }
    const std::string& name() const { return display_->name(); }
    XvfbDisplay& display() { return *display_; }

    // Runs xdotool with `arguments` on this display (keys and clicks through XTest); true when it
    // succeeded.
    bool xdotool(const QStringList& arguments) const;
    // Runs `program` with `arguments` on this display; true when it succeeded.
    bool run(const QString& program, const QStringList& arguments) const;
    // What `program` printed on this display, when it succeeded.
    std::optional<QByteArray> output(const QString& program, const QStringList& arguments) const;
    // A plain window of another program (its own connection, managed by the window manager,
    // filled with `colour`), shown and given the focus, in place of the one shown before;
    // returns its id.
    unsigned long showOtherProgram(const QRect& geometry, unsigned int colour = 0x3070b0);
    // The window the window manager calls active (_NET_ACTIVE_WINDOW), 0 for none.
    unsigned long activeWindow() const;
    // A window's title (empty when it has none or is gone).
    QString windowName(unsigned long window) const;

private:
    bool waitForWindowManager();

    std::unique_ptr<XvfbDisplay> display_;
    pid_t windowManager_ = -1;
    x11::Connection other_;  // the connection of "another program"
    uint32_t otherWindow_ = 0;
    std::string failure_;
};

// The session that the test program started before its QApplication (see
// WindowManagerTestMain.cpp).
WindowManagerSession& windowManagerSession();

}  // namespace quiblo::test

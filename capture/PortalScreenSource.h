// The screen of a Wayland session, through the desktop's screenshot portal. The portal gives the
// whole desktop (every output); the full screen is cut to the primary screen, the active window
// to the frame of the focused window where the desktop tells which one that is (sway IPC);
// elsewhere the portal asks the user to pick the window in the desktop's own dialog.
#pragma once

#include <QDBusConnection>
#include <QRect>

#include "capture/ScreenSource.h"
#include "capture/SwayIpc.h"

namespace quiblo {

class PortalScreenSource : public ScreenSource {
public:
    // The portal on `bus`; the focused window from `ipc` when it is present.
    explicit PortalScreenSource(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                SwayIpc ipc = SwayIpc::fromEnvironment());

    bool available() const override { return true; }
    QImage grabScreen() override;
    QImage grabActiveWindow() override;
    GrabFailure lastFailure() const override { return failure_; }

    // The part of a whole-desktop picture that shows `area` (in the layout's logical pixels);
    // `desktop` is the bounding box of every screen in the same pixels. Public for tests.
    static QRect pictureRect(const QRect& area, const QRect& desktop, QSize picture);

private:
    QImage takeDesktop(bool interactive);
    QImage cut(const QImage& whole, const QRect& area) const;

    QDBusConnection bus_;
    SwayIpc ipc_;
    GrabFailure failure_ = GrabFailure::None;
};

// Whether an X display is Xwayland (its root window reads black): by the XWAYLAND extension of
// newer servers, or by the names Xwayland gives its outputs (XWAYLAND0, ...) as the application's
// screens show them. `displayName` nullptr: the DISPLAY of the environment.
bool isXwaylandDisplay(const char* displayName = nullptr);

}  // namespace quiblo

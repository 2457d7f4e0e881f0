#include <QGuiApplication>

#include "capture/KWinScreenSource.h"
#include "capture/KWinScreenshot.h"
#include "capture/PortalScreenSource.h"
#include "capture/ScreenSource.h"
#include "capture/X11ScreenSource.h"

namespace quiblo {

namespace {

// A Wayland session: the desktop names its display, or the X display is Xwayland. The X11 root
// of such a session reads black, so the portal is the only way to its screen.
bool inWaylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || isXwaylandDisplay();
}

// KDE Plasma: KWin's own interface (which falls back on the portal); elsewhere the portal.
std::unique_ptr<ScreenSource> waylandSource() {
    if (kwinDesktop(QDBusConnection::sessionBus())) return std::make_unique<KWinScreenSource>();
    return std::make_unique<PortalScreenSource>();
}

}  // namespace

// The Wayland source when the application runs on Wayland, or on an X display inside a Wayland
// session; the X11 source when the windows of the application live on an X display (or, before any
// application exists, when DISPLAY names one that answers); no screen otherwise, as offscreen.
std::unique_ptr<ScreenSource> makeScreenSource() {
    const bool guiApplication = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const QString platform = guiApplication ? QGuiApplication::platformName() : QString();
    if (platform.startsWith(QStringLiteral("wayland"))) return waylandSource();
    if (!guiApplication || platform == QStringLiteral("xcb")) {
        if (inWaylandSession()) return waylandSource();
        if (auto x11 = X11ScreenSource::open()) return x11;
    }
    return std::make_unique<NullScreenSource>();
}

}  // namespace quiblo

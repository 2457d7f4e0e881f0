#include <QGuiApplication>

#include "capture/ScreenSource.h"
#include "capture/X11ScreenSource.h"

namespace quiblo {

// The X11 source when the windows of the application live on an X display (or, before any
// application exists, when DISPLAY names one that answers); no screen otherwise, as on Wayland
// or offscreen.
std::unique_ptr<ScreenSource> makeScreenSource() {
    const bool guiApplication = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!guiApplication || QGuiApplication::platformName() == QStringLiteral("xcb")) {
        if (auto x11 = X11ScreenSource::open()) return x11;
    }
    return std::make_unique<NullScreenSource>();
}

}  // namespace quiblo

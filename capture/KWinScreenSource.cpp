#include "KWinScreenSource.h"

#include <QGuiApplication>
#include <QScreen>

#include "capture/KWinScreenshot.h"

namespace quiblo {

namespace {

QString primaryScreenName() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return {};
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->name() : QString();
}

// KWin gives the active window whoever owns it: one of the program's own is no picture.
bool ownWindowActive() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
           QGuiApplication::focusWindow() != nullptr;
}

}  // namespace

KWinScreenSource::KWinScreenSource(const QDBusConnection& bus)
    : bus_(bus), portal_(bus, SwayIpc(QString())) {}

QImage KWinScreenSource::grabScreen() {
    const KWinShot shot = takeKWinScreen(bus_, primaryScreenName());
    if (shot.outcome == KWinShot::Outcome::Absent) return fromPortal(portal_.grabScreen());
    failure_ = GrabFailure::None;
    return shot.picture;
}

QImage KWinScreenSource::grabActiveWindow() {
    if (ownWindowActive()) {
        failure_ = GrabFailure::None;
        return {};
    }
    const KWinShot shot = takeKWinActiveWindow(bus_);
    // Else the portal's own dialog, in which the user picks the window.
    if (shot.outcome == KWinShot::Outcome::Absent) return fromPortal(portal_.grabActiveWindow());
    failure_ = GrabFailure::None;
    return shot.picture;
}

QImage KWinScreenSource::fromPortal(QImage picture) {
    failure_ = portal_.lastFailure();
    return picture;
}

}  // namespace quiblo

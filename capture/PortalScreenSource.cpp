#include "PortalScreenSource.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "capture/PortalScreenshot.h"
#include "capture/X11Handles.h"

namespace quiblo {

namespace {

// The bounding box of every screen and the primary one, in logical pixels; empty without a
// GUI application.
QRect desktopRect() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return {};
    QRect all;
    for (const QScreen* screen : QGuiApplication::screens()) all |= screen->geometry();
    return all;
}

QRect primaryRect() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return {};
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry() : QRect();
}

}  // namespace

PortalScreenSource::PortalScreenSource(const QDBusConnection& bus, SwayIpc ipc)
    : bus_(bus), ipc_(std::move(ipc)) {}

QImage PortalScreenSource::grabScreen() {
    const QImage whole = takeDesktop(false);
    return cut(whole, primaryRect());
}

QImage PortalScreenSource::grabActiveWindow() {
    if (const auto tree = ipc_.tree()) {
        const auto frame = focusedWindowFrame(*tree, ::getpid());
        if (!frame) {
            failure_ = GrabFailure::None;
            return {};  // no window of anyone else shows
        }
        return cut(takeDesktop(false), *frame);
    }
    // The desktop does not tell: the user picks the window in its own dialog.
    return takeDesktop(true);
}

QImage PortalScreenSource::takeDesktop(bool interactive) {
    const PortalShot shot = takePortalShot(bus_, interactive);
    switch (shot.outcome) {
        case PortalShot::Outcome::Taken:
            failure_ = GrabFailure::None;
            break;
        case PortalShot::Outcome::Unavailable:
            failure_ = GrabFailure::Unavailable;
            break;
        case PortalShot::Outcome::Refused:
            failure_ = GrabFailure::Refused;
            break;
    }
    return shot.picture;
}

// Without screens to go by (no GUI application), the whole picture.
QImage PortalScreenSource::cut(const QImage& whole, const QRect& area) const {
    const QRect desktop = desktopRect();
    if (whole.isNull() || desktop.isEmpty()) return whole;
    const QRect part = pictureRect(area, desktop, whole.size());
    return part.isEmpty() ? QImage() : whole.copy(part);
}

QRect PortalScreenSource::pictureRect(const QRect& area, const QRect& desktop, QSize picture) {
    if (desktop.isEmpty()) return {};
    // Outputs scaled above 1 give more picture pixels than layout pixels.
    const double sx = double(picture.width()) / desktop.width();
    const double sy = double(picture.height()) / desktop.height();
    const QRect moved = area.translated(-desktop.topLeft());
    const int left = int(std::lround(moved.left() * sx));
    const int top = int(std::lround(moved.top() * sy));
    const int right = int(std::lround((moved.left() + moved.width()) * sx));
    const int bottom = int(std::lround((moved.top() + moved.height()) * sy));
    return QRect(left, top, right - left, bottom - top) & QRect(QPoint(0, 0), picture);
}

bool isXwaylandDisplay(const char* displayName) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
        QGuiApplication::platformName() == QStringLiteral("xcb")) {
        for (const QScreen* screen : QGuiApplication::screens()) {
            if (screen->name().startsWith(QStringLiteral("XWAYLAND"))) return true;
        }
    }
    x11::Connection connection(xcb_connect(displayName, nullptr));
    xcb_connection_t* c = connection.get();
    if (xcb_connection_has_error(c)) return false;
    static const char kName[] = "XWAYLAND";
    const auto cookie = xcb_query_extension(c, sizeof(kName) - 1, kName);
    xcb_generic_error_t* error = nullptr;
    x11::Reply<xcb_query_extension_reply_t> reply(xcb_query_extension_reply(c, cookie, &error));
    const x11::Error dropped(error);
    return reply && reply->present;
}

}  // namespace quiblo

// One picture from the desktop's screenshot portal (org.freedesktop.portal.Screenshot on the
// session bus), as every Wayland desktop offers it.
#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QVariantMap>

namespace quiblo {

struct PortalShot {
    enum class Outcome { Taken, Unavailable, Refused };
    Outcome outcome = Outcome::Unavailable;
    // The whole desktop (or what the user picked, when interactive) in Format_RGB32; null when
    // the portal said yes but its file could not be read.
    QImage picture;
};

// Asks the portal on `bus` for a screenshot and waits for its answer, however long the user
// takes over a question of the desktop (windows keep painting, user input waits); the wait ends
// early when the portal leaves the bus. The file the portal wrote is read and then removed, so
// shots never pile up in the user's folders.
PortalShot takePortalShot(const QDBusConnection& bus, bool interactive);

// The largest portal file read: a PNG of several 8K screens.
inline constexpr qint64 kPortalFileCap = qint64{512} << 20;

// The picture in the file that the portal's answer names (its "uri"), in Format_RGB32, and the
// file removed. The answer is not trusted: only a regular file of the user's own, within the
// cap, is read, without blocking, and only a file that reads as a picture is removed. Anything
// else (nothing there, a link, a folder, a pipe, a device, another user's file, a file that is
// not a picture) is left as it is: null.
QImage takePortalFile(const QVariantMap& results);

}  // namespace quiblo

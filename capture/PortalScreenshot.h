// One picture from the desktop's screenshot portal (org.freedesktop.portal.Screenshot on the
// session bus), as every Wayland desktop offers it.
#pragma once

#include <QDBusConnection>
#include <QImage>

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

}  // namespace quiblo

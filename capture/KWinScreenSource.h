// The screen of a KDE Plasma Wayland session, through KWin's own screenshot interface: the
// primary screen, and the active window that no portal offers. Where KWin's interface is absent
// or refuses this program, the desktop's screenshot portal serves instead.
#pragma once

#include <QDBusConnection>

#include "capture/PortalScreenSource.h"
#include "capture/ScreenSource.h"

namespace quiblo {

class KWinScreenSource : public ScreenSource {
public:
    explicit KWinScreenSource(const QDBusConnection& bus = QDBusConnection::sessionBus());

    bool available() const override { return true; }
    QImage grabScreen() override;
    QImage grabActiveWindow() override;
    GrabFailure lastFailure() const override { return failure_; }

private:
    QImage fromPortal(QImage picture);

    QDBusConnection bus_;
    PortalScreenSource portal_;
    GrabFailure failure_ = GrabFailure::None;
};

}  // namespace quiblo

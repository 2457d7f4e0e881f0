// The headless Wayland session that tests/support/wayland-session.sh starts for a ctest fixture,
// and windows of known pictures shown in it by another process (this test binary started again),
// so that the desktop, not this process, owns them.
#pragma once

#include <QDBusInterface>
#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "capture/SwayIpc.h"

namespace quiblo::test {

// The session's background colour.
constexpr QRgb kBackground = 0xff336699;

// Puts the variables of the session in QUIBLO_WAYLAND_SESSION (its folder) into this process's
// environment; false, with the reason, when there is no session.
bool enterWaylandSession(QString* failure);

// When argv asks for it ("--pattern-window TITLE W H VARIANT"), shows that window until killed
// and returns the exit code; otherwise nothing.
std::optional<int> runPatternWindowIfAsked(int argc, char** argv);

SwayIpc sessionIpc();

// The window titled `title` in the desktop's tree, once `ready` holds for it (polled for a few
// seconds); nothing when it never does.
std::optional<QJsonObject> awaitWindow(const QString& title,
                                       const std::function<bool(const QJsonObject&)>& ready);
// The first window of the tree for which `ready` holds, polled the same way.
std::optional<QJsonObject> awaitAnyWindow(const std::function<bool(const QJsonObject&)>& ready);
QRect rectOf(const QJsonObject& node, const char* key = "rect");

// A window of another process that shows pattern(size, variant) (see ScreenPictures.h), made
// floating at `place` (layout pixels) without a border, and focused. `platform` is the Qt
// platform of that process: "wayland", or "xcb" for an X11 client through Xwayland.
class PatternWindow {
public:
    PatternWindow(const QString& title, const QRect& place, int variant,
                  const QString& platform = QStringLiteral("wayland"));
    ~PatternWindow();
    PatternWindow(const PatternWindow&) = delete;
    PatternWindow& operator=(const PatternWindow&) = delete;

    bool shown() const { return shown_; }
    QImage content() const;
    const QString& title() const { return title_; }
    qint64 pid() const { return process_.processId(); }
    bool focus() const;

private:
    bool onScreen() const;

    QString title_;
    QRect place_;
    int variant_;
    QProcess process_;
    bool shown_ = false;
};

// A screen of `size` in the background colour with `windows` laid over it (relative to `origin`).
QImage desktopPicture(QSize size, const std::vector<const PatternWindow*>& windows,
                      QPoint origin = {});

constexpr uint kTab = 0xff09, kReturn = 0xff0d, kShiftL = 0xffe1;  // X keysyms

// A virtual keyboard of GNOME's compositor (mutter's remote-desktop interface), alive while this
// object is: keys go, as from a keyboard, to whatever has the focus.
class ShellKeyboard {
public:
    bool start();
    bool press(uint keysym);
    ~ShellKeyboard();

private:
    std::unique_ptr<QDBusInterface> session_;
};

// A window as GNOME Shell lists it (org.gnome.Shell.Introspect, which the test session's unsafe
// mode opens to the tests).
struct ShellWindow {
    quint64 id = 0;
    QString title;
    QString appId;
    bool focused = false;
};
// The shell's windows; nothing when the list cannot be read.
std::optional<QList<ShellWindow>> shellWindows();

// Waits for the desktop to have drawn what it was just told (one frame and some).
void settle();

}  // namespace quiblo::test

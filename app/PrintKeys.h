// The Print key bound to the program's captures in the desktop's own shortcut settings, and
// unbound again, giving back to the desktop's screenshot tool the keys that were taken from it.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quiblo {

class Desktop;

enum class KeyDesktop { Gnome, Kde, Xfce, Sway, I3, Other };

// The desktop the user is in, from XDG_CURRENT_DESKTOP and the sockets sway and i3 leave.
KeyDesktop currentKeyDesktop();
KeyDesktop keyDesktopOf(const QString& currentDesktop, bool swaySocket, bool i3Socket);

// The command a shortcut runs for a capture type name ("full", "window", "region"): "quiblo"
// when that is the program the PATH finds, else the program's own path.
QString captureCommand(const QString& program, const QString& typeName);

// A GSettings string list as `gsettings` prints it ("['Print', '<Super>p']", "@as []"), and back.
std::optional<QStringList> parseStringList(const QString& text);
QString stringListText(const QStringList& list);

// Runs a settings command (gsettings, xfconf-query, ...): its output, or nothing with the error.
using SettingsCommand = std::function<std::optional<QString>(
    const QString& program, const QStringList& arguments, QString* error)>;
std::optional<QString> runSettingsCommand(const QString& program, const QStringList& arguments,
                                          QString* error);

struct KeyRequest {
    bool bind = true;       // --bind-keys; false: --unbind-keys
    QString program;        // the program's path, for the commands bound
    QString programFolder;  // where Quiblo.ini remembers what was taken
    KeyDesktop desktop = KeyDesktop::Other;
    SettingsCommand run = runSettingsCommand;
};

// Asks, changes and reports through message boxes. The process exit code: 0 when the keys are
// as asked (changed, or already so), 1 when they could not be changed, 2 when the user said No.
int changePrintKeys(Desktop& desktop, const KeyRequest& request);

}  // namespace quiblo

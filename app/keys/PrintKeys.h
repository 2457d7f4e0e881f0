// The Print key bound to the program's captures in the desktop's own shortcut settings, and
// unbound again, giving back to the desktop's screenshot tool the keys that were taken from it.
#pragma once

#include <QString>

#include "KeyStore.h"

namespace quiblo {

class Desktop;
class GlobalAccel;

enum class KeyDesktop { Gnome, Kde, Xfce, Sway, I3, Other };

// The desktop the user is in, from XDG_CURRENT_DESKTOP and the sockets sway and i3 leave.
KeyDesktop currentKeyDesktop();
KeyDesktop keyDesktopOf(const QString& currentDesktop, bool swaySocket, bool i3Socket);

struct KeyRequest {
    bool bind = true;       // --bind-keys; false: --unbind-keys
    QString program;        // the program's path, for the commands bound
    QString programFolder;  // where Quiblo.ini remembers what was taken
    KeyDesktop desktop = KeyDesktop::Other;
    SettingsCommand run = runSettingsCommand;
    GlobalAccel* kde = nullptr;  // KDE's service; the session bus's when null
};

// Asks, changes and reports through message boxes. The process exit code: 0 when the keys are
// as asked (changed, or already so), 1 when they could not be changed (what was written by
// then is taken back), 2 when the user said No.
int changePrintKeys(Desktop& desktop, const KeyRequest& request);

}  // namespace quiblo

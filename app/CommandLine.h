// The program's command line: a capture from a desktop shortcut, the usage and the version.
#pragma once

#include <QString>
#include <QStringList>

namespace quiblo {

struct CommandLine {
    enum class Action { Run, Help, Version, BindKeys, UnbindKeys, Invalid };
    Action action = Action::Run;
    int captureType = 0;  // 0: none asked for; else 1 full screen, 2 window, 3 region
    QString error;        // what was wrong, for Invalid
};

// The arguments after the program name.
CommandLine parseCommandLine(const QStringList& arguments);
// 1, 2, 3 for "full", "window", "region"; 0 for anything else.
int captureTypeOfName(const QString& name);
// The request a later start hands to the running copy: "capture full" and so on.
QString captureRequest(int captureType);
QString usageText();
QString versionText();

}  // namespace quiblo

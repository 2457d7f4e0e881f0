// The program folder holds the program, its image library, the settings, the history and the
// work files.
#pragma once

#include <QString>

namespace quiblo {

// The folder of the running executable.
QString executableFolder();
// folder + "/" + name, with no check for a trailing separator.
QString programFile(const QString& folder, const QString& name);

}  // namespace quiblo

// Removing the work files tmp_*.png that a broken-off upload left in the program folder.
#pragma once

#include <QString>

namespace quiblo {

// True for the names of work files: "tmp_" + anything + ".png".
bool isWorkFileName(const QString& name);

// Deletes every regular file of the folder itself whose name is a work file name. Folders,
// symbolic links and the contents of subfolders are left alone. True when every such file is
// gone (also when there was none); false when the folder cannot be read or a file stays.
bool cleanWorkFiles(const QString& programFolder);

}  // namespace quiblo

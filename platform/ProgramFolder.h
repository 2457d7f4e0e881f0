// The program folder holds the settings, the history and the work files. It is the folder of the
// executable when the user can write it (a portable copy), else the user's data folder: decided
// once at start.
#pragma once

#include <QString>
#include <QStringList>

namespace quiblo {

// The folder of the running executable.
QString executableFolder();
// folder + "/" + name, with no check for a trailing separator.
QString programFile(const QString& folder, const QString& name);

// $XDG_DATA_HOME/quiblo (~/.local/share/quiblo), whether it exists or not.
QString userDataFolder();
// True when a file can be made (and is removed again) in the folder.
bool isWritableFolder(const QString& folder);

struct ProgramFolderChoice {
    QString folder;
    bool writable = true;  // false: neither folder can be written; folder is the user's
};
// The executable's folder when it can be written; otherwise the user's folder, made with mode
// 0700 when it is missing.
ProgramFolderChoice chooseProgramFolder(const QString& executable, const QString& user);

// An advisory lock (flock) on the program folder for as long as the object lives: the rewrites of
// Quiblo.dat and Quiblo.ini read, change and replace the whole file, and two copies of the program
// doing that at once would each drop the other's change. Waits for a holder to finish; a folder
// that cannot be opened or locked is written without it.
class FolderLock {
public:
    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_ = -1;
};

// Removes the temporary files that a rewrite of one of the named files left when it was cut off:
// regular files named name + "." + six letters or digits. Only safe while no other copy of the
// program runs.
void removeStaleRewriteFiles(const QString& folder, const QStringList& names);

}  // namespace quiblo

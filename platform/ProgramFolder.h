// The program folder holds the settings, the history and the work files. It is the folder of the
// executable when the user can write it (a portable copy), else the user's data folder: decided
// once at start.
#pragma once

#include <QString>
#include <QStringList>

namespace quiblo {

// The folder of the running executable.
QString executableFolder();
// folder + "/" + name, with no check for a trailing separator; empty for no folder, so that
// nothing is ever read or written at the root instead.
QString programFile(const QString& folder, const QString& name);

// $XDG_DATA_HOME/quiblo when XDG_DATA_HOME is an absolute path (a relative one is ignored, as
// the XDG rules say), else $HOME/.local/share/quiblo; empty without HOME. Whether it exists or
// not.
QString userDataFolder();

// True for a copy in its installed layout (bin/quiblo with its library in ../lib/quiblo and none
// beside it), wherever it was installed: such a copy keeps its data in the user's folder, even
// when it may write its own folder (as root may write /usr/bin).
bool isInstalledCopy(const QString& executable);
// True when path is a folder, not a link, owned by this user, with none of the mode bits
// `forbidden` set (077: private; 022: nobody else may write it).
bool isOwnFolder(const QString& path, unsigned forbidden);
// True when a file can be made (and is removed again) in the folder.
bool isWritableFolder(const QString& folder);

struct ProgramFolderChoice {
    QString folder;        // empty when the user's folder was refused or there is none
    bool writable = true;  // false: the folder chosen cannot be written, or there is none
    QString warning;       // for the user when not writable: what is wrong, in Japanese
};
// The executable's folder when the copy is not installed and can write it (a build or a portable
// copy); otherwise the user's folder, made with mode 0700 when it is missing. An existing user's
// folder is used only when it is the user's own, not a link, and private (mode 0700): another
// is refused, and so is a missing HOME (user empty), rather than anything written elsewhere.
ProgramFolderChoice chooseProgramFolder(const QString& executable, const QString& user,
                                        bool installed = false);

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

#include "ProgramFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace quiblo {

QString executableFolder() {
    return QCoreApplication::applicationDirPath();
}

QString programFile(const QString& folder, const QString& name) {
    return folder + QLatin1Char('/') + name;
}

FolderLock::FolderLock(const QString& folder) {
    fd_ = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        ::close(fd_);
        fd_ = -1;
        return;
    }
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing lets the lock go
}

QString userDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/quiblo");
}

bool isWritableFolder(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
    // Trying is the only sure test: permissions, a read-only mount and ACLs all show here.
    QTemporaryFile probe(folder + QStringLiteral("/.quiblo-probe-XXXXXX"));
    return probe.open();
}

namespace {

// Makes the folder private to the user when it is new; its parents get the usual mode.
void makeUserFolder(const QString& folder) {
    if (QFileInfo(folder).isDir()) return;
    QDir().mkpath(QFileInfo(folder).absolutePath());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
}

}  // namespace

ProgramFolderChoice chooseProgramFolder(const QString& executable, const QString& user) {
    if (isWritableFolder(executable)) return {executable, true};
    makeUserFolder(user);
    return {user, isWritableFolder(user)};
}

void removeStaleRewriteFiles(const QString& folder, const QStringList& names) {
    static const QRegularExpression suffix(QStringLiteral("^\\.[A-Za-z0-9]{6}$"));
    const QDir dir(folder);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        for (const QString& name : names) {
            if (!entry.startsWith(name) || !suffix.match(entry.mid(name.size())).hasMatch())
                continue;
            const QFileInfo info(dir.filePath(entry));
            // Never a link: only files this program made are removed.
            if (info.isFile() && !info.isSymLink()) QFile::remove(info.filePath());
        }
    }
}

}  // namespace quiblo

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

#include "Lines.h"

namespace quiblo {

QString executableFolder() {
    return QCoreApplication::applicationDirPath();
}

QString programFile(const QString& folder, const QString& name) {
    if (folder.isEmpty()) return {};
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
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(data)) return data + QStringLiteral("/quiblo");
    const QString home = qEnvironmentVariable("HOME");
    if (!QDir::isAbsolutePath(home)) return {};
    return home + QStringLiteral("/.local/share/quiblo");
}

bool isInstalledCopy(const QString& executable) {
    return !QFileInfo::exists(executable + QStringLiteral("/libimgctl.so")) &&
           QFileInfo::exists(executable + QStringLiteral("/../lib/quiblo/libimgctl.so"));
}

bool isOwnFolder(const QString& path, unsigned forbidden) {
    struct stat info {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & forbidden) == 0;
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

ProgramFolderChoice chooseProgramFolder(const QString& executable, const QString& user,
                                        bool installed) {
    const QString cannotSave = QCoreApplication::translate(
        "ProgramFolder", "Settings, uploads and the history cannot be saved.");
    if (!installed && isWritableFolder(executable)) return {executable, true, {}};
    if (user.isEmpty())
        return {{},
                false,
                crLf(QCoreApplication::translate("ProgramFolder",
                                                 "There is no folder for settings and history, "
                                                 "because the home folder (HOME) is not set.\n")) +
                    cannotSave};
    makeUserFolder(user);
    const QFileInfo entry(user);
    if ((entry.exists() || entry.isSymLink()) && !isOwnFolder(user, 077))
        return {{},
                false,
                crLf(QCoreApplication::translate(
                    "ProgramFolder",
                    "The folder for settings and history is not used: it belongs to someone else, "
                    "is a link, or is open to other users.\n")) +
                    QDir::toNativeSeparators(user) + QStringLiteral("\r\n") + cannotSave};
    if (isWritableFolder(user)) return {user, true, {}};
    return {user, false,
            crLf(QCoreApplication::translate(
                "ProgramFolder", "Cannot write to the folder for settings and history.\n")) +
                QDir::toNativeSeparators(user) + QStringLiteral("\r\n") + cannotSave};
}

void removeStaleRewriteFiles(const QString& folder, const QStringList& names) {
    if (folder.isEmpty()) return;  // no folder: never the working folder instead
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

#include "SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include "ProgramFolder.h"

namespace quiblo {

namespace {

constexpr int kLineLimit = 256;    // requests are a few words; nothing longer is read
constexpr int kLineWaitMs = 2000;  // a later start sends its line at once

bool lstatOf(const QString& path, struct stat* info) {
    return ::lstat(QFile::encodeName(path).constData(), info) == 0;
}

// A folder, not a link, of this user's, that nobody else may write.
bool isPrivateFolder(const QString& folder) {
    return QDir::isAbsolutePath(folder) && isOwnFolder(folder, 022);
}

// Whatever is at path that is not a regular file of this user's: a pipe or a device would block
// whoever opens it, and another user's file is not ours to trust.
bool isForeignEntry(const QString& path) {
    struct stat info {};
    return lstatOf(path, &info) && (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid());
}

QString executableName(const QString& link) {
    return QFileInfo(QFile::symLinkTarget(link)).fileName();
}

}  // namespace

InstanceLock::InstanceLock(const QString& path) : path_(path), lock_(path) {
    // Only a dead owner makes the lock stale, never its age: a copy may run for weeks.
    lock_.setStaleLockTime(0);
}

InstanceLock::Outcome InstanceLock::acquire() {
    if (path_.isEmpty()) return Outcome::Unavailable;
    if (lock_.isLocked()) return Outcome::Acquired;
    // Never opened: it could hang the start. In the private folder only this user (or root) put
    // it there, so it goes.
    if (isForeignEntry(path_) && !QFile::remove(path_)) return Outcome::Unavailable;
    if (lock_.tryLock(0)) return Outcome::Acquired;
    // A read-only, full or missing folder: no copy is known to run, so the program runs on.
    if (lock_.error() != QLockFile::LockFailedError) return Outcome::Unavailable;
    // The file is there. The lock of a dead copy has already been taken over above, so a file
    // that names its owner belongs to a live copy.
    qint64 pid = 0;
    QString host, app;
    if (lock_.getLockInfo(&pid, &host, &app)) {
        if (isOwnCopy(pid)) return Outcome::HeldByRunningCopy;
        // A live process that is not this program of this user's is no running copy.
        if (QFile::remove(path_) && lock_.tryLock(0)) return Outcome::Acquired;
        return Outcome::Unavailable;
    }
    // A file that names no owner (cut off when it was written): it is removed only when no
    // process holds it open, so a copy that is just writing it keeps it.
    if (lock_.removeStaleLockFile() && lock_.tryLock(0)) return Outcome::Acquired;
    return Outcome::Unavailable;
}

bool InstanceLock::isOwnCopy(qint64 pid) {
    struct stat info {};
    const QString process = QStringLiteral("/proc/%1").arg(pid);
    if (!lstatOf(process, &info) || info.st_uid != ::geteuid()) return false;
    // The program, or whatever runs this code (a test of it).
    const QString name = executableName(process + QStringLiteral("/exe"));
    return name == QLatin1String("quiblo") ||
           name == executableName(QStringLiteral("/proc/self/exe"));
}

QString InstanceLock::defaultPath() {
    const QString folder = privateFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/quiblo.lock");
}

QString InstanceLock::privateFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime)) return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/quiblo-%1").arg(::geteuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);  // fails harmlessly when it is there
    return isPrivateFolder(own) ? own : QString();
}

QString InstanceLock::socketPathFor(const QString& lockPath) {
    if (lockPath.isEmpty()) return {};
    QString path = lockPath;
    if (path.endsWith(QLatin1String(".lock"))) path.chop(5);
    return path + QStringLiteral(".socket");
}

InstanceServer::InstanceServer(const QString& socketPath, QObject* parent)
    : QObject(parent), socketPath_(socketPath), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &InstanceServer::answerNext);
}

bool InstanceServer::listen() {
    QLocalServer::removeServer(socketPath_);
    return server_->listen(socketPath_);
}

bool InstanceServer::isListening() const {
    return server_->isListening();
}

void InstanceServer::answerNext() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto answer = [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kLineLimit) socket->abort();
                return;
            }
            const QString request = QString::fromUtf8(socket->readLine(kLineLimit)).trimmed();
            const bool taken = onRequest && onRequest(request);
            socket->write(taken ? "ok\n" : "busy\n");
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, socket, answer);
        // A connection that never sends its line is closed (and so deleted): idle ones would
        // otherwise use up the descriptors until the listener fails.
        QTimer::singleShot(kLineWaitMs, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0) answer();
    }
}

HandOver handToRunningCopy(const QString& socketPath, const QString& request, int timeoutMs) {
    struct stat info {};
    if (!lstatOf(socketPath, &info) || !S_ISSOCK(info.st_mode) || info.st_uid != ::geteuid())
        return HandOver::NoCopy;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(deadline.remainingTime())) return HandOver::NoCopy;
    socket.write(request.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(deadline.remainingTime())) return HandOver::NoCopy;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(deadline.remainingTime())) return HandOver::NoCopy;
    }
    return socket.readLine().trimmed() == "ok" ? HandOver::Taken : HandOver::Busy;
}

}  // namespace quiblo

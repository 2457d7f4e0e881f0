#include "SingleInstance.h"

#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace quiblo {

namespace {

constexpr int kLineLimit = 256;  // requests are a few words; nothing longer is read

}  // namespace

InstanceLock::InstanceLock(const QString& path) : path_(path), lock_(path) {
    // Only a dead owner makes the lock stale, never its age: a copy may run for weeks.
    lock_.setStaleLockTime(0);
}

InstanceLock::Outcome InstanceLock::acquire() {
    if (lock_.isLocked() || lock_.tryLock(0)) return Outcome::Acquired;
    // A read-only, full or missing folder: no copy is known to run, so the program runs on.
    if (lock_.error() != QLockFile::LockFailedError) return Outcome::Unavailable;
    // The file is there. The lock of a dead copy has already been taken over above, so a file
    // that names its owner belongs to a live copy.
    qint64 pid = 0;
    QString host, app;
    if (lock_.getLockInfo(&pid, &host, &app)) return Outcome::HeldByRunningCopy;
    // A file that names no owner (cut off when it was written): it is removed only when no
    // process holds it open, so a copy that is just writing it keeps it.
    if (lock_.removeStaleLockFile() && lock_.tryLock(0)) return Outcome::Acquired;
    return Outcome::Unavailable;
}

QString InstanceLock::defaultPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    // The shared temporary folder instead: a name per user keeps users apart.
    if (folder.isEmpty())
        return QDir::tempPath() + QStringLiteral("/quiblo-%1.lock").arg(::getuid());
    return folder + QStringLiteral("/quiblo.lock");
}

QString InstanceLock::socketPathFor(const QString& lockPath) {
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
        if (socket->bytesAvailable() > 0) answer();
    }
}

HandOver handToRunningCopy(const QString& socketPath, const QString& request, int timeoutMs) {
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

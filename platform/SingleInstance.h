// One running copy per user: a lock file in the user's runtime folder, held while the program
// runs. A lock left by a copy that died is taken over. Beside the lock the running copy listens on
// a local socket, so that a later start (a desktop shortcut) can hand it a request and end.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace quiblo {

class InstanceLock {
public:
    enum class Outcome {
        Acquired,           // this process holds the lock
        HeldByRunningCopy,  // a live copy of the program holds it
        Unavailable,        // the lock cannot be taken (read-only or full folder, ...)
    };

    explicit InstanceLock(const QString& path = defaultPath());
    // Takes the lock, or tells why not. Asking again while holding it answers Acquired.
    Outcome acquire();
    // True when this process now holds the lock (or already held it).
    bool tryAcquire() { return acquire() == Outcome::Acquired; }
    const QString& path() const { return path_; }

    // privateFolder() + "/quiblo.lock"; empty when there is no private folder.
    static QString defaultPath();
    // The folder for the lock and the socket: $XDG_RUNTIME_DIR when it is set and safe, else a
    // folder of the user's own in the temporary folder ("quiblo-" + uid, made with mode 0700).
    // Safe means: a folder (not a link) owned by the user that nobody else may write. Empty when
    // neither is safe: another user cannot steer the program through planted files.
    static QString privateFolder();
    // The local socket that belongs to a lock (empty for no lock).
    static QString socketPathFor(const QString& lockPath);

private:
    // Whether the live process pid is a copy of this program run by this user.
    static bool isOwnCopy(qint64 pid);

    QString path_;
    QLockFile lock_;
};

// The running copy's end of the socket: every request is one line of text, answered with one
// line: "ok" when it is taken, "busy" when it is not. A connection that has sent no whole line
// within a couple of seconds is closed, so idle connections never pile up.
class InstanceServer : public QObject {
    Q_OBJECT

public:
    explicit InstanceServer(const QString& socketPath, QObject* parent = nullptr);
    // Listens, replacing a socket file a dead copy left: call only while holding the lock.
    bool listen();
    bool isListening() const;
    // Called with each request; returns whether it was taken.
    std::function<bool(const QString& request)> onRequest;

private:
    void answerNext();

    QString socketPath_;
    QLocalServer* server_;
};

enum class HandOver { Taken, Busy, NoCopy };
// Hands a request to the copy listening on the socket, waiting at most timeoutMs for its answer.
// Only a socket of the user's own is used: anything else there is no copy.
HandOver handToRunningCopy(const QString& socketPath, const QString& request, int timeoutMs = 3000);

}  // namespace quiblo

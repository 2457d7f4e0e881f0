#include "PortalScreenshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QUrl>
#include <optional>

namespace quiblo {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// The request object the portal makes for our token: .../request/SENDER/TOKEN, the sender being
// our unique name without its colon, dots made underscores.
QString requestPathFor(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

}  // namespace

// Collects the Response signal of one request, and notes the portal leaving the bus.
class PortalRequest : public QObject {
    Q_OBJECT

public:
    bool finished = false;
    bool answered = false;
    uint code = 2;
    QVariantMap results;

public slots:
    void Response(uint response, const QVariantMap& answer) {
        answered = true;
        code = response;
        results = answer;
        end();
    }
    void end() {
        finished = true;
        emit ended();
    }

signals:
    void ended();
};

namespace {

bool listen(const QDBusConnection& bus, const QString& path, PortalRequest& request) {
    return QDBusConnection(bus).connect(kPortalService, path, kRequestInterface,
                                        QStringLiteral("Response"), &request,
                                        SLOT(Response(uint, QVariantMap)));
}

void waitUntil(PortalRequest& request) {
    if (request.finished) return;
    QEventLoop loop;
    QObject::connect(&request, &PortalRequest::ended, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// The method call itself, answered at once by the portal with the request's path; an error
// (no portal on the bus, no Screenshot interface) is an empty path.
QString callScreenshot(const QDBusConnection& bus, const QString& token, bool interactive) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, QStringLiteral("org.freedesktop.portal.Screenshot"),
        QStringLiteral("Screenshot"));
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("interactive"), interactive}};
    call << QString() << options;
    QDBusPendingCallWatcher watcher(QDBusConnection(bus).asyncCall(call));
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    const QDBusPendingReply<QDBusObjectPath> reply = watcher;
    return reply.isError() ? QString() : reply.value().path();
}

// The bytes of a regular file of the user's own, or nothing: the file is opened without
// following a link and without waiting on a pipe or a device, and read only up to the cap.
std::optional<QByteArray> readOwnFile(const QString& path, qint64 cap) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        info.st_size > cap)
        return std::nullopt;
    QByteArray bytes = file.read(cap + 1);
    if (bytes.size() > cap) return std::nullopt;
    return bytes;
}

}  // namespace

QImage takePortalFile(const QVariantMap& results) {
    const QString path = QUrl(results.value(QStringLiteral("uri")).toString()).toLocalFile();
    if (path.isEmpty()) return {};
    const std::optional<QByteArray> bytes = readOwnFile(path, kPortalFileCap);
    if (!bytes) return {};
    const QImage picture = QImage::fromData(*bytes);
    if (picture.isNull()) return {};
    QFile::remove(path);  // only a picture the portal wrote for us goes
    return picture.convertToFormat(QImage::Format_RGB32);
}

PortalShot takePortalShot(const QDBusConnection& bus, bool interactive) {
    PortalShot shot;
    if (!bus.isConnected()) return shot;
    const QString token = QStringLiteral("quiblo%1").arg(QRandomGenerator::global()->generate());
    PortalRequest request;
    // Listening before the call, so a quick answer is never missed.
    const QString expected = requestPathFor(bus, token);
    if (!listen(bus, expected, request)) return shot;
    QDBusServiceWatcher gone(kPortalService, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, &request,
                     &PortalRequest::end);

    const QString path = callScreenshot(bus, token, interactive);
    if (path.isEmpty()) return shot;
    // A portal that ignores the token answers on a path of its own.
    if (path != expected && !listen(bus, path, request)) return shot;
    waitUntil(request);
    if (!request.answered) return shot;  // the portal left the bus without an answer
    if (request.code != 0) {
        shot.outcome = PortalShot::Outcome::Refused;  // 1: the user said no; 2: the desktop did
        return shot;
    }
    shot.outcome = PortalShot::Outcome::Taken;
    shot.picture = takePortalFile(request.results);
    return shot;
}

}  // namespace quiblo

#include "PortalScreenshot.moc"

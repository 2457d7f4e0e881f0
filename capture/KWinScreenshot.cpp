#include "KWinScreenshot.h"

#include <climits>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <cerrno>
#include <optional>

namespace quiblo {

namespace {

const QString kService = QStringLiteral("org.kde.KWin");
const QString kPath = QStringLiteral("/org/kde/KWin/ScreenShot2");
const QString kInterface = QStringLiteral("org.kde.KWin.ScreenShot2");
constexpr int kTimeoutMs = 10000;
// More than any screen gives: a bigger answer is broken.
constexpr qint64 kMaxBytes = qint64(16384) * 16384 * 8;

// One end of a pipe, closed when it goes.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// Errors that mean "not here for you": no KWin or no such interface, or KWin refused.
bool absentOrRefused(const QString& error) {
    return error.startsWith(QStringLiteral("org.freedesktop.DBus.Error.")) ||
           error.endsWith(QStringLiteral(".NoAuthorized"));
}

KWinShot capture(const QDBusConnection& bus, const QString& method, const QVariantList& before,
                 const QVariantMap& options) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return {KWinShot::Outcome::Failed, {}};
    Fd readEnd(ends[0]);
    Fd writeEnd(ends[1]);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    QVariantList arguments = before;
    arguments << options << QVariant::fromValue(QDBusUnixFileDescriptor(writeEnd.get()));
    call.setArguments(arguments);
    QDBusPendingReply<QVariantMap> reply = QDBusConnection(bus).asyncCall(call, kTimeoutMs);
    // Only KWin's copy of the write end may stay open, or the read never ends: the call and
    // the pending answer hold copies too.
    call = QDBusMessage();
    arguments.clear();
    writeEnd.reset();
    // KWin may write before or after it answers: read while waiting for the answer, and let
    // go of the answer (with its copy of the write end) once it came.
    std::optional<QVariantMap> results;
    QByteArray bytes;
    const QDeadlineTimer deadline(kTimeoutMs);
    char buffer[65536];
    for (;;) {
        if (!results && reply.isFinished()) {
            if (reply.isError()) {
                const bool absent = absentOrRefused(reply.error().name());
                return {absent ? KWinShot::Outcome::Absent : KWinShot::Outcome::Failed, {}};
            }
            results = reply.value();
            reply = QDBusPendingReply<QVariantMap>();
        }
        if (deadline.hasExpired()) return {KWinShot::Outcome::Failed, {}};
        pollfd p{readEnd.get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, 20);
        if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
        if (ready < 0) return {KWinShot::Outcome::Failed, {}};
        const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n < 0 || bytes.size() + n > kMaxBytes) return {KWinShot::Outcome::Failed, {}};
        if (n == 0) break;  // every write end closed
        bytes.append(buffer, n);
    }
    if (!results) return {KWinShot::Outcome::Failed, {}};
    QImage picture = kwinPicture(bytes, *results);
    if (picture.isNull()) return {KWinShot::Outcome::Failed, {}};
    return {KWinShot::Outcome::Taken, std::move(picture)};
}

}  // namespace

bool kwinDesktop(const QDBusConnection& bus) {
    const QStringList desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (desktops.contains(QStringLiteral("KDE"), Qt::CaseInsensitive)) return true;
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kService);
}

KWinShot takeKWinScreen(const QDBusConnection& bus, const QString& screen) {
    const QVariantMap options{{QStringLiteral("native-resolution"), true}};
    if (screen.isEmpty()) return capture(bus, QStringLiteral("CaptureActiveScreen"), {}, options);
    return capture(bus, QStringLiteral("CaptureScreen"), {screen}, options);
}

KWinShot takeKWinActiveWindow(const QDBusConnection& bus) {
    const QVariantMap options{{QStringLiteral("native-resolution"), true},
                              {QStringLiteral("include-decoration"), true},
                              {QStringLiteral("include-shadow"), false}};
    return capture(bus, QStringLiteral("CaptureActiveWindow"), {}, options);
}

QImage kwinPicture(const QByteArray& bytes, const QVariantMap& results) {
    const QString type = results.value(QStringLiteral("type"), QStringLiteral("raw")).toString();
    const qint64 width = results.value(QStringLiteral("width")).toLongLong();
    const qint64 height = results.value(QStringLiteral("height")).toLongLong();
    const qint64 stride = results.value(QStringLiteral("stride")).toLongLong();
    const uint format = results.value(QStringLiteral("format")).toUInt();
    if (type != QStringLiteral("raw") || width <= 0 || height <= 0 || width > 16384 ||
        height > 16384 || format == QImage::Format_Invalid || format >= QImage::NImageFormats)
        return {};
    const auto imageFormat = QImage::Format(format);
    const int depth = QImage::toPixelFormat(imageFormat).bitsPerPixel();
    // The stride is checked against the bytes before it is multiplied: a huge one would wrap.
    if (stride < (width * depth + 7) / 8 || stride > bytes.size() || stride > INT_MAX ||
        stride * height > bytes.size())
        return {};
    const QImage view(reinterpret_cast<const uchar*>(bytes.constData()), int(width), int(height),
                      int(stride), imageFormat);
    // Always a copy: `bytes` goes.
    if (imageFormat == QImage::Format_RGB32) return view.copy();
    return view.convertToFormat(QImage::Format_RGB32);
}

}  // namespace quiblo

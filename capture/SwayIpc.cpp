#include "SwayIpc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include <QJsonArray>
#include <QJsonDocument>
#include <cstring>
#include <vector>

namespace quiblo {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr int kHeaderBytes = sizeof(kMagic) + 8;
// One exchange, from connecting to the last byte of the reply: a desktop that answers a byte at a
// time must not hold the window longer than this.
constexpr std::chrono::milliseconds kExchangeTime{2000};

using Deadline = std::chrono::steady_clock::time_point;

// What is left of the exchange's time, for poll; 0 once it has run out.
int millisecondsLeft(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

// Waits until the socket is ready for `events` or the deadline has passed.
bool waitFor(int fd, short events, Deadline deadline) {
    for (;;) {
        const int left = millisecondsLeft(deadline);
        if (left == 0) return false;
        pollfd ready{fd, events, 0};
        const int n = ::poll(&ready, 1, left);
        if (n > 0) return true;
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}
// Far above any real window tree: a larger length is a broken reply, not a tree to wait for.
constexpr quint32 kMaxReplyBytes = 64u << 20;

// A socket closed with the object.
class Socket {
public:
    Socket() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
    ~Socket() {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

bool connectTo(const Socket& socket, const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = path.toLocal8Bit();
    if (socket.fd() < 0 || name.size() >= int(sizeof(address.sun_path))) return false;
    std::memcpy(address.sun_path, name.constData(), name.size());
    return ::connect(socket.fd(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
}

bool sendAll(const Socket& socket, const QByteArray& bytes, Deadline deadline) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        if (!waitFor(socket.fd(), POLLOUT, deadline)) return false;
        const ssize_t n = ::send(socket.fd(), bytes.constData() + sent, bytes.size() - sent,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return false;
        sent += n;
    }
    return true;
}

// Exactly `count` bytes, all of them by the deadline.
std::optional<QByteArray> receive(const Socket& socket, qsizetype count, Deadline deadline) {
    QByteArray bytes(count, '\0');
    qsizetype got = 0;
    while (got < count) {
        if (!waitFor(socket.fd(), POLLIN, deadline)) return std::nullopt;
        const ssize_t n = ::recv(socket.fd(), bytes.data() + got, count - got, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return std::nullopt;
        got += n;
    }
    return bytes;
}

QByteArray messageOf(quint32 type, const QByteArray& payload) {
    QByteArray bytes(kMagic, sizeof(kMagic));
    const quint32 fields[2] = {quint32(payload.size()), type};  // the host's byte order
    bytes.append(reinterpret_cast<const char*>(fields), sizeof(fields));
    return bytes + payload;
}

// The node's children, the most recently focused first (its "focus" list holds their ids).
std::vector<QJsonObject> childrenByFocus(const QJsonObject& node) {
    std::vector<QJsonObject> children;
    for (const char* key : {"nodes", "floating_nodes"}) {
        for (const QJsonValue& child : node.value(QLatin1String(key)).toArray())
            children.push_back(child.toObject());
    }
    std::vector<QJsonObject> ordered;
    for (const QJsonValue& id : node.value(QLatin1String("focus")).toArray()) {
        for (auto it = children.begin(); it != children.end(); ++it) {
            if (it->value(QLatin1String("id")).toInteger() == id.toInteger()) {
                ordered.push_back(*it);
                children.erase(it);
                break;
            }
        }
    }
    ordered.insert(ordered.end(), children.begin(), children.end());
    return ordered;
}

QRect rectOf(const QJsonValue& value) {
    const QJsonObject r = value.toObject();
    return QRect(r.value(QLatin1String("x")).toInt(), r.value(QLatin1String("y")).toInt(),
                 r.value(QLatin1String("width")).toInt(), r.value(QLatin1String("height")).toInt());
}

bool isWindow(const QJsonObject& node) {
    const QString type = node.value(QLatin1String("type")).toString();
    return (type == QLatin1String("con") || type == QLatin1String("floating_con")) &&
           node.contains(QLatin1String("pid")) &&
           node.value(QLatin1String("nodes")).toArray().isEmpty() &&
           node.value(QLatin1String("floating_nodes")).toArray().isEmpty();
}

}  // namespace

SwayIpc SwayIpc::fromEnvironment() {
    return SwayIpc(qEnvironmentVariable("SWAYSOCK"));
}

std::optional<QByteArray> SwayIpc::request(Message type, const QByteArray& payload) const {
    if (!present()) return std::nullopt;
    const Deadline deadline = std::chrono::steady_clock::now() + kExchangeTime;
    Socket socket;
    if (!connectTo(socket, socketPath_) || !sendAll(socket, messageOf(type, payload), deadline))
        return std::nullopt;
    const auto header = receive(socket, kHeaderBytes, deadline);
    if (!header || std::memcmp(header->constData(), kMagic, sizeof(kMagic)) != 0)
        return std::nullopt;
    quint32 length = 0;
    std::memcpy(&length, header->constData() + sizeof(kMagic), sizeof(length));
    if (length > kMaxReplyBytes) return std::nullopt;
    return receive(socket, length, deadline);
}

std::optional<QJsonObject> SwayIpc::tree() const {
    const auto reply = request(GetTree);
    if (!reply) return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(*reply);
    if (!document.isObject()) return std::nullopt;
    return document.object();
}

bool SwayIpc::command(const QString& commands) const {
    const auto reply = request(RunCommand, commands.toUtf8());
    if (!reply) return false;
    const QJsonArray results = QJsonDocument::fromJson(*reply).array();
    if (results.isEmpty()) return false;
    for (const QJsonValue& result : results) {
        if (!result.toObject().value(QLatin1String("success")).toBool()) return false;
    }
    return true;
}

std::optional<QRect> focusedWindowFrame(const QJsonObject& node, qint64 ownPid) {
    if (isWindow(node)) {
        if (node.value(QLatin1String("pid")).toInteger() == ownPid ||
            !node.value(QLatin1String("visible")).toBool(true))
            return std::nullopt;
        const QRect rect = rectOf(node.value(QLatin1String("rect")));
        const int title = rectOf(node.value(QLatin1String("deco_rect"))).height();
        return rect.adjusted(0, -title, 0, 0);
    }
    for (const QJsonObject& child : childrenByFocus(node)) {
        if (auto frame = focusedWindowFrame(child, ownPid)) return frame;
    }
    return std::nullopt;
}

}  // namespace quiblo

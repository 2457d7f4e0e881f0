#include "ReferenceService.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <chrono>
#include <memory>

#include "service/Curl.h"

extern char** environ;

namespace quiblo::test {

namespace {

constexpr auto readyWait = std::chrono::seconds(20);

// Closes a file descriptor with the object.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// One line from fd, or what came before the time ran out or the stream ended.
QByteArray readLine(int fd, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    QByteArray line;
    while (!line.endsWith('\n')) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0) break;
        char ch = 0;
        if (::read(fd, &ch, 1) != 1) break;
        line += ch;
    }
    return line;
}

size_t appendTo(char* data, size_t size, size_t count, void* target) {
    static_cast<QByteArray*>(target)->append(data, qsizetype(size * count));
    return size * count;
}

}  // namespace

ReferenceService::ReferenceService(const QList<QByteArray>& options) : options_(options) {
    start();
}

void ReferenceService::start() {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        startError_ = "no pipe";
        return;
    }
    FileDescriptor readEnd(pipeEnds[0]);
    FileDescriptor writeEnd(pipeEnds[1]);

    // The service with its test controls, which only the tests' launcher loads.
    const QByteArray script = QByteArray(QUIBLO_SOURCE_DIR) + "/tests/server/quiblo-test-service";
    const QByteArray dataDir = data_.file("data").toLocal8Bit();
    std::vector<const char*> argv = {
        "/usr/bin/python3", script.constData(), "--http-port", "0", "--ftp-port", "0",
        "--data",           dataDir.constData()};
    for (const QByteArray& option : options_) argv.push_back(option.constData());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    const int failed = posix_spawn(&pid_, argv[0], &actions, nullptr,
                                   const_cast<char* const*>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) {
        pid_ = -1;
        startError_ = "cannot start /usr/bin/python3";
        return;
    }

    const QByteArray line = readLine(readEnd.get(), readyWait);
    static const QRegularExpression ready(
        QStringLiteral("^quiblo-service listening http=(\\d+) ftp=(\\d+|off)\n$"));
    const auto match = ready.match(QString::fromLocal8Bit(line));
    if (!match.hasMatch()) {
        startError_ = "no ready line, got: " + QString::fromLocal8Bit(line);
        return;
    }
    httpPort_ = match.captured(1).toInt();
    ftpPort_ = match.captured(2).toInt();
}

ReferenceService::~ReferenceService() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    // It stops within a fraction of a second; a hung one is killed rather than waited for.
    int status = 0;
    for (int tries = 0; tries < 100; ++tries) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) return;
        ::usleep(100'000);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
}

bool ReferenceService::adminCommand(const QStringList& arguments) const {
    QProcess admin;
    admin.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    admin.start(QStringLiteral("/usr/bin/python3"),
                QStringList{QStringLiteral(QUIBLO_SOURCE_DIR "/server/quiblo-service")} +
                    arguments +
                    QStringList{QStringLiteral("--data"), data_.file(QStringLiteral("data"))});
    return admin.waitForFinished(30000) && admin.exitStatus() == QProcess::NormalExit &&
           admin.exitCode() == 0;
}

QString ReferenceService::host() const {
    return "127.0.0.1:" + QString::number(httpPort_);
}

QString ReferenceService::url(const QString& path) const {
    return "http://" + host() + path;
}

QByteArray ReferenceService::control(const QByteArray& json) const {
    CurlHandle curl(curl_easy_init());
    CurlList headers(curl_slist_append(nullptr, "Content-Type: application/json"));
    if (!curl || !headers) return {};
    // A service with a certificate is scripted over HTTPS; its certificate is what the
    // program's own requests check, not this control request on loopback.
    const bool secure = options_.contains("--tls-cert");
    const QByteArray address =
        (secure ? "https://" : "http://") + host().toUtf8() + QByteArray("/_control");
    QByteArray answer;
    curl_easy_setopt(curl.get(), CURLOPT_URL, address.constData());
    if (secure) {
        curl_easy_setopt(curl.get(), CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl.get(), CURLOPT_SSL_VERIFYHOST, 0L);
    }
    curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, json.constData());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, long(json.size()));
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, appendTo);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &answer);
    long status = 0;
    if (curl_easy_perform(curl.get()) != CURLE_OK) return {};
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    return status == 200 ? answer : QByteArray();
}

int ReferenceService::requests() const {
    const QJsonDocument state = QJsonDocument::fromJson(control(R"({"action":"status"})"));
    return state.isObject() ? state.object().value(QStringLiteral("requests")).toInt(-1) : -1;
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : name_(name), hadValue_(qEnvironmentVariableIsSet(name)), oldValue_(qgetenv(name)) {
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
    if (hadValue_)
        qputenv(name_, oldValue_);
    else
        qunsetenv(name_);
}

int closedLoopbackPort() {
    FileDescriptor socketFd(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(socketFd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socketFd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

}  // namespace quiblo::test

#include "FtpTransfer.h"

#include <curl/curl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QList>
#include <QStringList>

#include <chrono>
#include <cstring>
#include <mutex>

#include "service/Curl.h"
#include "service/Request.h"
#include "service/Tls.h"

namespace quiblo {

namespace {

// The longest the loop sleeps before it looks at the transfer again.
constexpr int kPollCapMs = 5;
// How long a broken transfer waits for the server's reply on the control connection.
constexpr auto kReplyWait = std::chrono::milliseconds(500);

// The most of a server's reply line a message shows.
constexpr qsizetype kReplyShown = 200;

// A final reply line of the server ("452 text", not "452-text") that refuses: 4xx or 5xx.
bool isRefusal(const QByteArray& line) {
    if (line.size() < 3 || (line[0] != '4' && line[0] != '5')) return false;
    for (int i = 1; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9') return false;
    return line.size() == 3 || line[3] == ' ';
}

}  // namespace

struct FtpSession::State {
    // Declared after the easy handle, the multi handle is cleaned up first: its connection
    // cache closes the connection through closeSocket() below, which needs the rest.
    CurlHandle curl;
    CurlMulti multi;
    QByteArray baseUrl;
    QString host;  // named in a TLS failure
    // The server's refusal (a final 4xx/5xx reply line) in this step: the first one given to
    // the latest command that had one. What follows it, such as the 421 of a server that closes
    // the session after a cut transfer's 426, is not the cause and is not shown.
    QByteArray refusal;
    bool answered = false;  // the latest command sent has had its refusal
    QByteArray pending;     // reply text read at a close, not yet a whole line
    curl_socket_t controlSocket = CURL_SOCKET_BAD;
    bool performing = false;
    const QByteArray* data = nullptr;
    qint64 sent = 0;
    bool started = false;       // the first byte was asked for: the remote file is open
    bool restReported = false;  // the last write (the remainder, maybe 0 bytes) was reported
    const std::function<void(qint64)>* onChunk = nullptr;

    void noteReplies(const QByteArray& text) {
        for (const QByteArray& line : text.split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (!answered && isRefusal(trimmed)) {
                refusal = trimmed.left(kReplyShown);
                answered = true;
            }
        }
    }

    static int debug(CURL*, curl_infotype type, char* text, size_t size, void* self) {
        auto* s = static_cast<State*>(self);
        if (type == CURLINFO_HEADER_IN)
            s->noteReplies(QByteArray(text, qsizetype(size)));
        else if (type == CURLINFO_HEADER_OUT)
            s->answered = false;  // a command went out
        return 0;
    }

    // A small send buffer: the bytes counted as sent are near the server, not queued here.
    static int sockopt(void*, curl_socket_t socket, curlsocktype) {
        const int size = kUploadSendBuffer;
        setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
        return CURL_SOCKOPT_OK;
    }

    // libcurl drops the control connection after a broken transfer without reading the
    // server's reply to it ("452 disk full"): read what the server says before it goes.
    static int closeSocket(void* self, curl_socket_t socket) {
        auto* s = static_cast<State*>(self);
        if (socket == s->controlSocket) {
            if (s->performing && !s->answered) s->readRefusal(socket);
            s->controlSocket = CURL_SOCKET_BAD;
        }
        return ::close(socket);
    }

    void readRefusal(curl_socket_t socket) {
        const auto deadline = std::chrono::steady_clock::now() + kReplyWait;
        pending.clear();
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{socket, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0) return;
            char buffer[1024];
            const ssize_t got = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got <= 0) return;
            pending.append(buffer, got);
            const qsizetype end = pending.lastIndexOf('\n');
            if (end < 0) continue;
            noteReplies(pending.left(end));
            pending.remove(0, end + 1);
            if (answered) return;
        }
    }

    // Hands over the next chunks of 100 bytes, each reported as it is handed over; at the end
    // the remainder (also when it is empty), then nothing. A few chunks go together so that
    // each send fills a network packet.
    static size_t read(char* buffer, size_t size, size_t count, void* self) {
        auto* s = static_cast<State*>(self);
        s->started = true;
        const size_t room = std::min(size * count, size_t(kUploadBatch));
        // libcurl's buffer holds at least 16 KB; a smaller one would end the upload short, so
        // it fails the transfer instead of passing for the end of the file.
        if (room < size_t(kUploadChunk)) return CURL_READFUNC_ABORT;
        size_t handed = 0;
        while (!s->restReported && handed + kUploadChunk <= room) {
            const qint64 left = s->data->size() - s->sent;
            const qint64 chunk = std::min<qint64>(left, kUploadChunk);
            std::memcpy(buffer + handed, s->data->constData() + s->sent, size_t(chunk));
            s->sent += chunk;
            handed += size_t(chunk);
            if (chunk < kUploadChunk) s->restReported = true;
            if (*s->onChunk) (*s->onChunk)(s->sent);
        }
        return handed;
    }

    // Runs the easy handle's request to its end in the multi loop; the sleep between two
    // looks is capped, so a readiness libcurl does not wait for is seen within kPollCapMs.
    CURLcode perform() {
        refusal.clear();
        answered = false;
        if (curl_multi_add_handle(multi.get(), curl.get()) != CURLM_OK) return CURLE_FAILED_INIT;
        performing = true;
        CURLcode result = CURLE_OK;
        qint64 lastSent = sent;
        for (;;) {
            int running = 0;
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
                result = CURLE_OUT_OF_MEMORY;
                break;
            }
            if (running == 0) {
                int queued = 0;
                while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued))
                    if (message->msg == CURLMSG_DONE) result = message->data.result;
                break;
            }
            // A step that handed over bytes may well go on at once: skip the wait, which
            // halves the work of a transfer made of 100-byte steps.
            if (sent != lastSent) {
                lastSent = sent;
                continue;
            }
            if (curl_multi_poll(multi.get(), nullptr, 0, kPollCapMs, nullptr) != CURLM_OK) {
                result = CURLE_OUT_OF_MEMORY;
                break;
            }
        }
        // The control connection, known only while the handle is in the multi handle.
        curl_socket_t active = CURL_SOCKET_BAD;
        if (result == CURLE_OK &&
            curl_easy_getinfo(curl.get(), CURLINFO_ACTIVESOCKET, &active) == CURLE_OK)
            controlSocket = active;
        curl_multi_remove_handle(multi.get(), curl.get());
        performing = false;
        return result;
    }

    TransferFailure failure(TransferStage stage, CURLcode code) const {
        TransferFailure f;
        f.stage = stage;
        f.code = code;
        f.serverReply = QString::fromUtf8(refusal);
        const QString tls = tlsFailureText(code, host, QString());
        f.description = tls.isEmpty() ? transferCauseText(code) : tls;
        if (!f.serverReply.isEmpty()) f.description += QStringLiteral("\r\n") + f.serverReply;
        f.loginRefused = code == CURLE_LOGIN_DENIED;
        return f;
    }
};

FtpSession::FtpSession() : state_(std::make_unique<State>()) {
    initCurlOnce();
    state_->curl.reset(curl_easy_init());
    state_->multi.reset(curl_multi_init());
}

FtpSession::~FtpSession() = default;

std::optional<TransferFailure> FtpSession::login(const FtpAccount& account) {
    CURL* curl = state_->curl.get();
    if (!curl || !state_->multi) return state_->failure(TransferStage::Initial, CURLE_FAILED_INIT);
    state_->baseUrl =
        "ftp://" + account.host.toUtf8() + ':' + QByteArray::number(account.port) + '/';
    state_->host = account.host;
    if (account.secure) {
        // All or nothing: a server without TLS ends the upload before the password is sent.
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        curl_easy_setopt(curl, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
        useCertificateStore(curl);
    }
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERNAME, account.user.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, account.password.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_FTP_USE_EPSV, 0L);  // plain passive mode
    // The sends are gathered into packets here (see read()). Nagle's wait for the server's
    // acknowledgement, on top of its delayed acknowledgement, stalled uploads for up to 200 ms.
    curl_easy_setopt(curl, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, &State::sockopt);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, &State::closeSocket);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, state_.get());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kTransferTimeLimits.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, kTransferTimeLimits.stallSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kTransferTimeLimits.stallSeconds);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &State::debug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, state_.get());
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);  // feeds the debug function, prints nothing
    // Log in and stop: no listing, no transfer. The connection stays open for the upload.
    curl_easy_setopt(curl, CURLOPT_URL, state_->baseUrl.constData());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    const CURLcode rc = state_->perform();
    if (rc != CURLE_OK) return state_->failure(TransferStage::Connect, rc);
    return std::nullopt;
}

std::optional<TransferFailure> FtpSession::upload(const QString& remoteName, const QByteArray& data,
                                                  const std::function<void(qint64)>& onChunk) {
    CURL* curl = state_->curl.get();
    if (!curl || state_->baseUrl.isEmpty())
        return state_->failure(TransferStage::Initial, CURLE_FAILED_INIT);
    state_->data = &data;
    state_->sent = 0;
    state_->started = false;
    state_->restReported = false;
    state_->onChunk = &onChunk;
    const QByteArray url = state_->baseUrl + remoteName.toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, 0L);  // binary
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(data.size()));
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &State::read);
    curl_easy_setopt(curl, CURLOPT_READDATA, state_.get());
    const CURLcode rc = state_->perform();
    if (rc == CURLE_OK && !state_->restReported && onChunk) onChunk(state_->sent);
    state_->onChunk = nullptr;
    if (rc == CURLE_OK) return std::nullopt;
    // Before the first byte was asked for, the remote file could not be set up.
    return state_->failure(state_->started ? TransferStage::Write : TransferStage::OpenRemote, rc);
}

}  // namespace quiblo

#include "FtpTransfer.h"

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace quiblo {

namespace {

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using CurlHandle = std::unique_ptr<CURL, CurlCleanup>;

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Time limits: a dead server ends the transfer instead of freezing it.
constexpr long kConnectTimeoutSeconds = 10;
constexpr long kStallSeconds = 15;

}  // namespace

struct FtpSession::State {
    CurlHandle curl;
    QByteArray baseUrl;
    QByteArray lastReply;  // the server's last reply line, for the error text
    const QByteArray* data = nullptr;
    qint64 sent = 0;
    bool started = false;       // the first byte was asked for: the remote file is open
    bool restReported = false;  // the last write (the remainder, maybe 0 bytes) was reported
    const std::function<void(qint64)>* onChunk = nullptr;

    static int debug(CURL*, curl_infotype type, char* text, size_t size, void* self) {
        if (type == CURLINFO_HEADER_IN) {
            QByteArray line(text, static_cast<qsizetype>(size));
            static_cast<State*>(self)->lastReply = line.trimmed();
        }
        return 0;
    }

    // Hands over the next 100 bytes; at the end the remainder, then nothing.
    static size_t read(char* buffer, size_t size, size_t count, void* self) {
        auto* s = static_cast<State*>(self);
        s->started = true;
        const qint64 left = s->data->size() - s->sent;
        const qint64 chunk = std::min<qint64>({left, kUploadChunk, qint64(size * count)});
        std::memcpy(buffer, s->data->constData() + s->sent, static_cast<size_t>(chunk));
        s->sent += chunk;
        // Whole chunks are reported, then the remainder once, also when it is empty.
        const bool rest = chunk < kUploadChunk;
        if (rest && s->restReported) return 0;
        if (rest) s->restReported = true;
        if (*s->onChunk) (*s->onChunk)(s->sent);
        return static_cast<size_t>(chunk);
    }

    FtpFailure failure(FtpStage stage, CURLcode code) const {
        FtpFailure f;
        f.stage = stage;
        f.code = code;
        f.description = QString::fromUtf8(curl_easy_strerror(code));
        if (!lastReply.isEmpty()) f.description += QLatin1Char('\n') + QString::fromUtf8(lastReply);
        f.loginRefused = code == CURLE_LOGIN_DENIED;
        return f;
    }
};

FtpSession::FtpSession() : state_(std::make_unique<State>()) {
    initCurlOnce();
    state_->curl.reset(curl_easy_init());
}

FtpSession::~FtpSession() = default;

std::optional<FtpFailure> FtpSession::login(const FtpAccount& account) {
    CURL* curl = state_->curl.get();
    if (!curl) return state_->failure(FtpStage::Initial, CURLE_FAILED_INIT);
    state_->baseUrl =
        "ftp://" + account.host.toUtf8() + ':' + QByteArray::number(account.port) + '/';
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERNAME, account.user.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, account.password.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_FTP_USE_EPSV, 0L);  // plain passive mode
    // 100-byte chunks: let the system gather them into full packets.
    curl_easy_setopt(curl, CURLOPT_TCP_NODELAY, 0L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &State::debug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, state_.get());
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);  // feeds the debug function, prints nothing
    // Log in and stop: no listing, no transfer. The connection stays open for the upload.
    curl_easy_setopt(curl, CURLOPT_URL, state_->baseUrl.constData());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    const CURLcode rc = curl_easy_perform(curl);
    if (rc != CURLE_OK) return state_->failure(FtpStage::Connect, rc);
    return std::nullopt;
}

std::optional<FtpFailure> FtpSession::upload(const QString& remoteName, const QByteArray& data,
                                             const std::function<void(qint64)>& onChunk) {
    CURL* curl = state_->curl.get();
    if (!curl || state_->baseUrl.isEmpty())
        return state_->failure(FtpStage::Initial, CURLE_FAILED_INIT);
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
    const CURLcode rc = curl_easy_perform(curl);
    if (rc == CURLE_OK && !state_->restReported && onChunk) onChunk(state_->sent);
    state_->onChunk = nullptr;
    if (rc == CURLE_OK) return std::nullopt;
    // Before the first byte was asked for, the remote file could not be set up.
    return state_->failure(state_->started ? FtpStage::Write : FtpStage::OpenRemote, rc);
}

QString ftpStageName(FtpStage stage) {
    switch (stage) {
        case FtpStage::Initial:
            return QStringLiteral("初期処理");
        case FtpStage::Connect:
            return QStringLiteral("接続処理");
        case FtpStage::OpenRemote:
            return QStringLiteral("転送設定処理");
        case FtpStage::Write:
            break;
    }
    return QStringLiteral("転送処理");
}

}  // namespace quiblo

#include "HttpTransfer.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <QUrl>

#include <cstring>

#include "service/Curl.h"
#include "service/Request.h"
#include "service/Tls.h"

namespace quiblo {

namespace {

// The most of the service's answer a message shows, and keeps.
constexpr qsizetype kAnswerKept = 200;

struct Put {
    const QByteArray& data;
    const std::function<void(qint64)>& onChunk;
    qint64 sent = 0;
    bool restReported = false;
    QByteArray answer;

    // Hands over the next chunks of 100 bytes, each reported; at the end the remainder (also
    // when it is empty), then nothing.
    static size_t read(char* buffer, size_t size, size_t count, void* self) {
        auto* put = static_cast<Put*>(self);
        const size_t room = std::min(size * count, size_t(kUploadBatch));
        if (room < size_t(kUploadChunk)) return CURL_READFUNC_ABORT;
        size_t handed = 0;
        while (!put->restReported && handed + kUploadChunk <= room) {
            const qint64 chunk = std::min<qint64>(put->data.size() - put->sent, kUploadChunk);
            std::memcpy(buffer + handed, put->data.constData() + put->sent, size_t(chunk));
            put->sent += chunk;
            handed += size_t(chunk);
            if (chunk < kUploadChunk) put->restReported = true;
            if (put->onChunk) put->onChunk(put->sent);
        }
        return handed;
    }

    static size_t write(char* data, size_t size, size_t count, void* self) {
        auto* put = static_cast<Put*>(self);
        const size_t bytes = size * count;
        put->answer.append(data, qsizetype(std::min<size_t>(bytes, kAnswerKept)));
        put->answer.truncate(kAnswerKept);
        return bytes;
    }

    // A small send buffer: the bytes counted as sent are near the service, not queued here.
    static int sockopt(void*, curl_socket_t socket, curlsocktype) {
        const int bytes = kUploadSendBuffer;
        setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
        return CURL_SOCKOPT_OK;
    }
};

// The refusal as the service words it ("413 File too large: ..."), else the status alone.
QString refusalLine(long status, const QByteArray& answer) {
    const QString line = QString::fromUtf8(answer.split('\n').value(0)).trimmed();
    const QString number = QString::number(status);
    return line.startsWith(number) ? line : number;
}

}  // namespace

std::optional<TransferFailure> putPicture(const QString& url, const QString& password,
                                          const QString& uploadKey, const QByteArray& data,
                                          const std::function<void(qint64)>& onChunk) {
    initCurlOnce();
    TransferFailure failure;
    failure.overHttp = true;
    CurlHandle curl(curl_easy_init());
    if (!curl) {
        failure.code = CURLE_FAILED_INIT;
        failure.description = transferCauseText(failure.code);
        return failure;
    }
    const QUrl parsed(url);
    CurlList headers;
    appendHeader(headers, "Content-Type: image/png");
    appendHeader(headers, "Expect:");  // the picture goes at once, not after a 100 Continue
    appendHeader(headers, ("X-Quiblo-Password: " + password.toLatin1()).constData());
    Put put{data, onChunk, 0, false, {}};
    const QByteArray address = url.toUtf8();
    CURL* handle = curl.get();
    setUpRequest(handle, address, headers, uploadKey, kTransferTimeLimits);
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);  // PUT
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, curl_off_t(data.size()));
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, &Put::read);
    curl_easy_setopt(handle, CURLOPT_READDATA, &put);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Put::write);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &put);
    curl_easy_setopt(handle, CURLOPT_SOCKOPTFUNCTION, &Put::sockopt);
    curl_easy_setopt(handle, CURLOPT_TCP_NODELAY, 1L);
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, detail);
    const CURLcode result = curl_easy_perform(handle);
    if (result == CURLE_OK && !put.restReported && onChunk) onChunk(put.sent);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    // A service that answered refused the picture as it was sent, however little of it had left
    // when the answer came: a prompt refusal is not a failed connection.
    failure.stage = put.sent > 0 || (result == CURLE_OK && status > 0) ? TransferStage::Write
                                                                       : TransferStage::Connect;
    if (result != CURLE_OK) {
        failure.code = result;
        const QString tls = tlsFailureText(result, parsed.host(), QString::fromUtf8(detail));
        failure.description = tls.isEmpty() ? transferCauseText(result) : tls;
        return failure;
    }
    if (status == 201) return std::nullopt;
    failure.code = CURLE_HTTP_RETURNED_ERROR;
    failure.loginRefused = status == 403;  // the upload password of this version is refused
    failure.serverReply = refusalLine(status, put.answer);
    failure.description =
        transferCauseText(CURLE_UPLOAD_FAILED) + QStringLiteral("\r\n") + failure.serverReply;
    return failure;
}

}  // namespace quiblo

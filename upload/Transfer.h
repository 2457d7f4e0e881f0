// What the two ways of sending a picture share: the size limit and the chunks of the transfer,
// its stages and its failure, and the words the messages show for them.
#pragma once

#include <QString>

namespace quiblo {

inline constexpr qint64 kUploadSizeLimit = 500000;  // unless the service announces another
inline constexpr int kUploadChunk = 100;
// The most bytes handed to one send: whole chunks that fill one Ethernet packet.
inline constexpr int kUploadBatch = 14 * kUploadChunk;
// The socket's send buffer (the system doubles it): with little queued on this side, the count
// of bytes shown as sent stays near what the server has received.
inline constexpr int kUploadSendBuffer = 16 * 1024;

enum class TransferStage {
    Initial,     // the transfer could not be set up at all
    Connect,     // connecting or logging in
    OpenRemote,  // setting up the remote file
    Write,       // sending the bytes
};

// A failed upload over FTP or HTTP.
struct TransferFailure {
    TransferStage stage = TransferStage::Initial;
    int code = 0;         // libcurl's result code
    QString description;  // the cause in words, then the server's refusal when there is one
    // The server's refusal: FTP's final 4xx/5xx reply line, or HTTP's status with its words;
    // empty when there is none.
    QString serverReply;
    bool loginRefused = false;
    bool overHttp = false;  // serverReply is an HTTP status
};

// Whether a failure may pass if the same upload is tried again: the connection could not be made
// or dropped, a time-out, or the FTP server's 421, 425, 426, 450, 451 or 452 (over HTTP: 408, 429,
// 500, 502, 503, 504 or 507). A refused login and every other refusal are lasting.
bool isPassingFailure(const TransferFailure& failure);

// The stage names the messages show.
QString transferStageName(TransferStage stage);

// The cause of a failed transfer in the words the messages show, from libcurl's result code:
// the program's own words (in its language) for the common causes, libcurl's otherwise.
QString transferCauseText(int curlCode);

}  // namespace quiblo

// The FTP transfer of a work file to the upload server, on libcurl: passive, binary, handed
// over 100 bytes at a time. The login and the upload are two steps on one connection, so a
// refused login, a refused remote file and a failed write are told apart. Both run in a curl
// multi loop that looks at the sockets at least every few milliseconds, so a readiness that
// libcurl does not wait for (the data connection after PASV) costs no more than that.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace quiblo {

inline constexpr qint64 kUploadSizeLimit = 500000;
inline constexpr int kUploadChunk = 100;
// The most bytes handed to one send: whole chunks that fill one Ethernet packet.
inline constexpr int kUploadBatch = 14 * kUploadChunk;
// The socket's send buffer (the system doubles it): with little queued on this side, the count
// of bytes shown as sent stays near what the server has received.
inline constexpr int kUploadSendBuffer = 16 * 1024;

enum class FtpStage {
    Initial,     // the transfer could not be set up at all
    Connect,     // connecting or logging in
    OpenRemote,  // setting up the remote file
    Write,       // sending the bytes
};

struct FtpFailure {
    FtpStage stage = FtpStage::Initial;
    int code = 0;         // libcurl's result code
    QString description;  // the cause in words, then the server's refusal when there is one
    QString serverReply;  // the server's last final 4xx/5xx reply line, or empty
    bool loginRefused = false;
};

struct FtpAccount {
    QString host;  // without a port
    int port = 21;
    bool secure = false;  // explicit TLS (AUTH TLS) on the control and every data connection
    QString user;
    QString password;
};

class FtpSession {
public:
    FtpSession();
    ~FtpSession();
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    // Connects and logs in; the connection is kept for upload().
    std::optional<FtpFailure> login(const FtpAccount& account);
    // Stores data as remoteName in the login folder. onChunk(sent) follows every chunk handed to
    // the server, and once more at the end (a last write of the remainder, possibly 0 bytes).
    // Called on the thread that runs upload().
    std::optional<FtpFailure> upload(const QString& remoteName, const QByteArray& data,
                                     const std::function<void(qint64 sent)>& onChunk);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Whether a failure may pass if the same upload is tried again: the connection could not be made
// or dropped, a time-out, or the server's 421, 425, 426, 450, 451 or 452. A refused login and
// every 5xx refusal are lasting.
bool isPassingFailure(const FtpFailure& failure);

// The stage names the messages show.
QString ftpStageName(FtpStage stage);

// The cause of a failed transfer in the words the messages show, from libcurl's result code:
// Japanese for the common causes, libcurl's own words otherwise.
QString ftpCauseText(int curlCode);

}  // namespace quiblo

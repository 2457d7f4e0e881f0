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

#include "Transfer.h"

namespace quiblo {

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
    std::optional<TransferFailure> login(const FtpAccount& account);
    // Stores data as remoteName in the login folder. onChunk(sent) follows every chunk handed to
    // the server, and once more at the end (a last write of the remainder, possibly 0 bytes).
    // Called on the thread that runs upload().
    std::optional<TransferFailure> upload(const QString& remoteName, const QByteArray& data,
                                          const std::function<void(qint64 sent)>& onChunk);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quiblo

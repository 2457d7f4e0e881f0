#include "Transfer.h"

#include <curl/curl.h>

#include <QCoreApplication>
#include <QStringList>

namespace quiblo {

bool isPassingFailure(const TransferFailure& failure) {
    if (failure.loginRefused) return false;
    if (!failure.serverReply.isEmpty()) {
        static const QStringList passingFtp = {"421", "425", "426", "450", "451", "452"};
        static const QStringList passingHttp = {"408", "429", "500", "502", "503", "504", "507"};
        return (failure.overHttp ? passingHttp : passingFtp).contains(failure.serverReply.left(3));
    }
    switch (failure.code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_FTP_CANT_GET_HOST:
        case CURLE_FTP_ACCEPT_TIMEOUT:
            return true;
    }
    return false;
}

QString transferStageName(TransferStage stage) {
    switch (stage) {
        case TransferStage::Initial:
            return QCoreApplication::translate("Transfer", "start-up");
        case TransferStage::Connect:
            return QCoreApplication::translate("Transfer", "connection");
        case TransferStage::OpenRemote:
            return QCoreApplication::translate("Transfer", "transfer set-up");
        case TransferStage::Write:
            break;
    }
    return QCoreApplication::translate("Transfer", "transfer");
}

QString transferCauseText(int curlCode) {
    switch (curlCode) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return QCoreApplication::translate("Transfer", "Cannot resolve the server name.");
        case CURLE_COULDNT_CONNECT:
            return QCoreApplication::translate("Transfer", "Cannot connect to the server.");
        case CURLE_OPERATION_TIMEDOUT:
            return QCoreApplication::translate("Transfer", "The server did not answer in time.");
        case CURLE_LOGIN_DENIED:
            return QCoreApplication::translate("Transfer", "The server refused the login.");
        case CURLE_REMOTE_ACCESS_DENIED:
            return QCoreApplication::translate("Transfer", "The server denied access.");
        case CURLE_UPLOAD_FAILED:
            return QCoreApplication::translate("Transfer", "The server refused the file.");
        case CURLE_SEND_ERROR:
            return QCoreApplication::translate("Transfer", "Sending data failed.");
        case CURLE_RECV_ERROR:
            return QCoreApplication::translate("Transfer", "Receiving data failed.");
        case CURLE_PARTIAL_FILE:
            return QCoreApplication::translate("Transfer",
                                               "The server did not confirm the upload.");
        case CURLE_GOT_NOTHING:
            return QCoreApplication::translate("Transfer", "No answer from the server.");
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_FTP_WEIRD_PASV_REPLY:
        case CURLE_FTP_WEIRD_227_FORMAT:
            return QCoreApplication::translate("Transfer", "The server sent an invalid answer.");
        case CURLE_FTP_CANT_GET_HOST:
            return QCoreApplication::translate("Transfer", "Cannot open the data connection.");
    }
    return QString::fromUtf8(curl_easy_strerror(static_cast<CURLcode>(curlCode)));
}

}  // namespace quiblo

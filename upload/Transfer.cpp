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
            return QCoreApplication::translate("Transfer", "初期処理");
        case TransferStage::Connect:
            return QCoreApplication::translate("Transfer", "接続処理");
        case TransferStage::OpenRemote:
            return QCoreApplication::translate("Transfer", "転送設定処理");
        case TransferStage::Write:
            break;
    }
    return QCoreApplication::translate("Transfer", "転送処理");
}

QString transferCauseText(int curlCode) {
    switch (curlCode) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return QCoreApplication::translate("Transfer", "サーバーの名前を解決できません。");
        case CURLE_COULDNT_CONNECT:
            return QCoreApplication::translate("Transfer", "サーバーに接続できません。");
        case CURLE_OPERATION_TIMEDOUT:
            return QCoreApplication::translate("Transfer", "サーバーからの応答がないため、時間切れになりました。");
        case CURLE_LOGIN_DENIED:
            return QCoreApplication::translate("Transfer", "サーバーへのログインが拒否されました。");
        case CURLE_REMOTE_ACCESS_DENIED:
            return QCoreApplication::translate("Transfer", "サーバーがアクセスを拒否しました。");
        case CURLE_UPLOAD_FAILED:
            return QCoreApplication::translate("Transfer", "サーバーがファイルの受け取りを拒否しました。");
        case CURLE_SEND_ERROR:
            return QCoreApplication::translate("Transfer", "データの送信に失敗しました。");
        case CURLE_RECV_ERROR:
            return QCoreApplication::translate("Transfer", "データの受信に失敗しました。");
        case CURLE_PARTIAL_FILE:
            return QCoreApplication::translate("Transfer", "サーバーが転送の完了を認めませんでした。");
        case CURLE_GOT_NOTHING:
            return QCoreApplication::translate("Transfer", "サーバーから応答がありません。");
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_FTP_WEIRD_PASV_REPLY:
        case CURLE_FTP_WEIRD_227_FORMAT:
            return QCoreApplication::translate("Transfer", "サーバーの応答が正しくありません。");
        case CURLE_FTP_CANT_GET_HOST:
            return QCoreApplication::translate("Transfer", "データ転送用の接続ができません。");
    }
    return QString::fromUtf8(curl_easy_strerror(static_cast<CURLcode>(curlCode)));
}

}  // namespace quiblo

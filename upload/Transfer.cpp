#include "Transfer.h"

#include <curl/curl.h>

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
            return QStringLiteral("初期処理");
        case TransferStage::Connect:
            return QStringLiteral("接続処理");
        case TransferStage::OpenRemote:
            return QStringLiteral("転送設定処理");
        case TransferStage::Write:
            break;
    }
    return QStringLiteral("転送処理");
}

QString transferCauseText(int curlCode) {
    switch (curlCode) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return QStringLiteral("サーバーの名前を解決できません。");
        case CURLE_COULDNT_CONNECT:
            return QStringLiteral("サーバーに接続できません。");
        case CURLE_OPERATION_TIMEDOUT:
            return QStringLiteral("サーバーからの応答がないため、時間切れになりました。");
        case CURLE_LOGIN_DENIED:
            return QStringLiteral("サーバーへのログインが拒否されました。");
        case CURLE_REMOTE_ACCESS_DENIED:
            return QStringLiteral("サーバーがアクセスを拒否しました。");
        case CURLE_UPLOAD_FAILED:
            return QStringLiteral("サーバーがファイルの受け取りを拒否しました。");
        case CURLE_SEND_ERROR:
            return QStringLiteral("データの送信に失敗しました。");
        case CURLE_RECV_ERROR:
            return QStringLiteral("データの受信に失敗しました。");
        case CURLE_PARTIAL_FILE:
            return QStringLiteral("サーバーが転送の完了を認めませんでした。");
        case CURLE_GOT_NOTHING:
            return QStringLiteral("サーバーから応答がありません。");
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_FTP_WEIRD_PASV_REPLY:
        case CURLE_FTP_WEIRD_227_FORMAT:
            return QStringLiteral("サーバーの応答が正しくありません。");
        case CURLE_FTP_CANT_GET_HOST:
            return QStringLiteral("データ転送用の接続ができません。");
    }
    return QString::fromUtf8(curl_easy_strerror(static_cast<CURLcode>(curlCode)));
}

}  // namespace quiblo

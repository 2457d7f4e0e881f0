#include "SendDataWin.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "FtpTransfer.h"
#include "ReducedPicture.h"
#include "confirm/LoadMspaintWin.h"
#include "confirm/LocalCopy.h"
#include "history/HistoryFile.h"
#include "platform/Desktop.h"
#include "platform/Fault.h"
#include "platform/ProgramFolder.h"
#include "platform/ReplyNumber.h"
#include "platform/Twips.h"
#include "platform/Version.h"
#include "platform/Wait.h"
#include "service/Codes.h"
#include "service/ServiceAddress.h"
#include "service/SimpleHttp.h"
#include "service/UserId.h"

namespace quiblo {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

SendDataWin::SendDataWin(UploadHooks hooks, const QImage& picture, bool paintWanted,
                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      hooks_(std::move(hooks)),
      picture_(picture),
      paintWanted_(paintWanted),
      keptPicture_(picture) {
    setObjectName(QStringLiteral("SendDataWin"));
    setWindowTitle(QStringLiteral("クイブロ - 送信ダイアログ"));
    setModal(true);
    setFixedSize(twipsToPixels(5400), twipsToPixels(2100));
    Label1 = makeLabel(this, "Label1", QStringLiteral("進捗状況"));
    placeTwips(Label1, 240, 180, 4935, 255);
    Status = makeLabel(this, "Status", QStringLiteral("%Status%"));
    placeTwips(Status, 240, 540, 4935, 255);
    UserInfo = makeLabel(this, "UserInfo", QStringLiteral("%UserInfo%"));
    placeTwips(UserInfo, 240, 900, 4935, 255);
    UserInfo->hide();
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setTextVisible(false);
    Progress->setRange(0, 1);
    Progress->setValue(0);
    placeTwips(Progress, 240, 1320, 4935, 375);
}

void SendDataWin::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The run starts once the dialog is on the screen, never twice.
    if (!started_) QTimer::singleShot(0, this, &SendDataWin::StartUpload);
}

void SendDataWin::StartUpload() {
    if (started_) return;
    started_ = true;
    if (paintWanted_) {
        if (!PrepareImage()) return;
        if (hooks_.drawingOffered) hooks_.drawingOffered();
        LoadMspaintWin paint(desktop(), LocalFilePath, this);
        paint.exec();
        // The picture as drawn is what a run that sends nothing offers to keep.
        const QImage drawn = runWaiting([&] { return QImage(LocalFilePath); });
        if (!drawn.isNull()) keptPicture_ = drawn;
    } else if (!PrepareImage()) {
        return;
    }
    if (!OfferReducedPicture()) return;
    pauseFor(500);
    processPendingEvents();
    do {
        tryAgain_ = false;
        CheckUserAndConnect();
    } while (tryAgain_);
}

bool SendDataWin::PrepareImage() {
    ShowStepStatus(QStringLiteral("画像準備中..."));
    const UploadCodes codes = hooks_.makeUploadCodes();
    PngCode = codes.pngcode;
    DelId = codes.delid;
    uploadedAt_ = codes.uploadedAt;
    RemoteFileName = PngCode + QStringLiteral(".png");
    ShowStatus(QStringLiteral("画像保存中..."));
    LocalFilePath = programFile(hooks_.programFolder, QStringLiteral("tmp_") + RemoteFileName);
    if (hooks_.workFileMade) hooks_.workFileMade(LocalFilePath);
    const auto result = runWaiting([&] { return SavePicture(picture_); });
    if (result.written) return true;
    reportPngError(result.errorCode);
    return false;
}

// The image library failed: its code in one box, the end of the run in the next.
void SendDataWin::reportPngError(int code) {
    error(QStringLiteral("PNGデータの出力においてエラーが発生しました。") + kCrLf +
          QStringLiteral("エラーコード:") + QString::number(code));
    error(QStringLiteral("エラーが発生したため、終了します。"));
    closeAs(true);
}

// The stronger level never writes less than this share of the normal level's bytes (png_bench's
// strong column): a picture further over the limit is not encoded again.
constexpr double kStrongReach = 0.75;

// Runs on the waiting helper's worker. A picture over the upload limit is encoded once more at
// the stronger level before the size check may refuse it; the status stays meanwhile. A picture
// out of that level's reach is refused at once rather than after seconds more of encoding.
ImgctlLibrary::PngResult SendDataWin::SavePicture(const QImage& picture) {
    ImgctlLibrary& imgctl = *hooks_.imgctl;
    const ImgctlLibrary::PngResult result = imgctl.writePng(picture, LocalFilePath);
    const qint64 size = QFileInfo(LocalFilePath).size();
    if (!result.written || size <= kUploadSizeLimit ||
        double(size) * kStrongReach > kUploadSizeLimit)
        return result;
    return imgctl.writePng(picture, LocalFilePath, ImgctlLibrary::Effort::Strong);
}

// A work file still over the limit (as encoded, or as the editor left it) is offered in fewer
// colours, made while the status still says the picture is being saved. False: the run ended.
bool SendDataWin::OfferReducedPicture() {
    if (QFileInfo(LocalFilePath).size() <= kUploadSizeLimit) return true;
    const QString reducedPath = LocalFilePath.chopped(4) + QStringLiteral("_256.png");
    // Read back from the work file, as the editor may have changed it; decoded on the worker too.
    const std::optional<ReducedPicture> reduced =
        runWaiting([&]() -> std::optional<ReducedPicture> {
            const QImage picture(LocalFilePath);
            if (picture.isNull()) return std::nullopt;
            return makeReducedPicture(*hooks_.imgctl, picture, reducedPath, kUploadSizeLimit);
        });
    // Not a picture the library can read: refused by the size check like any other.
    if (!reduced) return true;
    switch (reduced->outcome) {
        case ReducedPicture::Outcome::TooLarge:
            return true;  // refused by the size check, as any picture over the limit
        case ReducedPicture::Outcome::Failed:
            reportPngError(reduced->errorCode);
            return false;
        case ReducedPicture::Outcome::Fits:
            break;
    }
    const MsgAnswer answer =
        desktop().message(this, QStringLiteral("確認"), reducedOfferText(*reduced),
                          MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::Yes);
    // Yes makes the reduced picture the work file; anything else sends nothing.
    if (answer == MsgAnswer::Yes && std::rename(QFile::encodeName(reducedPath).constData(),
                                                QFile::encodeName(LocalFilePath).constData()) == 0)
        return true;
    QFile::remove(reducedPath);
    refuseTooLarge();
    return false;
}

void SendDataWin::refuseTooLarge() {
    error(QStringLiteral("ファイルサイズが大きすぎるため転送できません。") + kCrLf +
          QStringLiteral("アップロードする領域を小さくしてください。"));
    closeAs(true);
}

void SendDataWin::CheckUserAndConnect() {
    try {
        ShowStatus(QStringLiteral("ユーザー確認中..."));
        // An address the settings hold but that cannot be read: no service is contacted.
        if (const QString unreadable = serviceSettingMessage(); !unreadable.isEmpty()) {
            error(unreadable + kCrLf + QStringLiteral("終了します。"));
            closeAs(true);
            return;
        }
        QString tlsFailure;
        // The address is read here: the settings files are not opened on the worker.
        const QString url = userCheckUrl(GetUserId());
        const QString key = uploadKey();
        const QString reply = runWaiting([&] { return GetUrlText(url, &tlsFailure, key); });
        pauseFor(200);
        const QStringList fields = splitReply(reply);
        if (!tlsFailure.isEmpty()) {
            error(tlsFailure + kCrLf + QStringLiteral("終了します。"));
            closeAs(true);
            return;
        }
        if (fields[0] == QLatin1String("error")) {
            ShowStatus(QStringLiteral("ユーザー確認完了."));
            error(refusalMessage(fields, 5));
            closeAs(true);
            return;
        }
        if (fields[0] != QLatin1String("success")) {
            error(QStringLiteral("サーバーとの接続が失敗したため、") + kCrLf +
                  QStringLiteral("一部処理は行えませんでした。") + kCrLf +
                  QStringLiteral("終了します。"));
            closeAs(true);
            return;
        }
        const std::optional<qint16> count =
            roundToInt16(readFieldNumber(replyField(fields, 2)) + 1);
        if (!count) throw RuntimeFault(FaultNumber::Overflow);
        ShowStatus(QStringLiteral("ユーザー確認完了. "));
        UserInfo->setText(QStringLiteral("[") + QString::number(*count) +
                          QStringLiteral("回目の利用 (最大:過去") + replyField(fields, 4) +
                          QStringLiteral("時間に") + replyField(fields, 3) +
                          QStringLiteral("回まで)]"));
        UserInfo->show();
        Connect();
    } catch (const RuntimeFault& fault) {
        ReportRuntimeError(fault.number(), fault.description());
    }
}

void SendDataWin::Connect() {
    ShowStepStatus(QStringLiteral("転送初期処理中..."));
    FtpSession session;
    const QString password = MakeFtpPassword(kVersionMajor, kVersionMinor);
    const FtpAccount account{serviceHostName(), ftpPort(), serviceIsSecure(),
                             QStringLiteral("quiblo"), ftpPasswordWithKey(password)};
    if (hooks_.ftpPasswordMade) hooks_.ftpPasswordMade(password);
    ShowStepStatus(QStringLiteral("接続処理中..."));
    if (auto failure = runWaiting([&] { return session.login(account); })) {
        ReportInternetError(*failure);
        return;
    }
    Status->setText(QStringLiteral("アップロードサーバーへ接続されました。"));
    statusHistory << Status->text();
    TransferFile(session);
}

void SendDataWin::TransferFile(FtpSession& session) {
    QFile work(LocalFilePath);
    if (!QFileInfo(LocalFilePath).dir().exists()) throw RuntimeFault(FaultNumber::PathNotFound);
    if (!work.exists()) throw RuntimeFault(FaultNumber::FileNotFound);
    // The size is checked before the remote file is opened: a refused picture leaves nothing.
    if (work.size() > kUploadSizeLimit) {
        refuseTooLarge();
        return;
    }
    if (!work.open(QIODevice::ReadOnly)) throw RuntimeFault(FaultNumber::PathNotFound);
    const QByteArray data = work.readAll();
    work.close();
    const qint64 total = data.size();
    Progress->setRange(0, static_cast<int>(std::max<qint64>(total, 1)));
    Progress->setValue(0);

    // Chunks are reported from the transfer's thread; the window shows them at its own pace.
    auto onChunk = [this, total](qint64 sent) {
        QMetaObject::invokeMethod(
            this,
            [this, sent, total] {
                Progress->setValue(static_cast<int>(sent));
                Status->setText(
                    QStringLiteral("アップロード中... [ %1Bytes / %2Bytes ]").arg(sent).arg(total));
                statusHistory << Status->text();
            },
            Qt::QueuedConnection);
    };
    if (auto failure = runWaiting([&] { return session.upload(RemoteFileName, data, onChunk); })) {
        ReportInternetError(*failure);
        return;
    }
    QFile::remove(LocalFilePath);  // only a complete transfer removes the work file
    FinishTransfer();
}

void SendDataWin::FinishTransfer() {
    ShowStepStatus(QStringLiteral("転送は正常に終了しました。"));
    RegisterUpload();
}

void SendDataWin::RegisterUpload() {
    ShowStepStatus(QStringLiteral("アップロード情報を送信中..."));
    const QString url = recordUrl(PngCode, DelId, GetUserId());
    const QString key = uploadKey();
    QString tlsFailure;
    const QString reply = runWaiting([&] { return GetUrlText(url, &tlsFailure, key); });
    const QStringList fields = splitReply(reply);
    // Recorded the moment the service has said yes, before any pause: a program ended in between
    // would otherwise leave a picture that its owner can never delete.
    if (fields[0] == QLatin1String("success")) {
        registered_ = true;
        AppendHistoryRecord(hooks_.programFolder, PngCode, DelId, uploadedAt_);
    }
    pauseFor(200);
    if (fields[0] == QLatin1String("error")) {
        ShowStatus(QStringLiteral("アップロード情報を送信中... エラー"));
        error(refusalMessage(fields, 2));
        closeAs(true);
        return;
    }
    if (fields[0] != QLatin1String("success")) {
        ShowStatus(QStringLiteral("アップロード情報を送信中... エラー"));
        error(!tlsFailure.isEmpty() ? tlsFailure
                                    : QStringLiteral("サーバーとの接続が失敗したため、") + kCrLf +
                                          QStringLiteral("一部処理は行えませんでした。"));
        closeAs(true);
        return;
    }
    ShowStatus(QStringLiteral("アップロード情報を送信中... 完了"));
    ShowStepStatus(QStringLiteral("アップロード情報を記録中..."));
    ShowStatus(QStringLiteral("アップロード情報を記録中... 完了"));
    ShowStepStatus(QStringLiteral("クイブロは正常に完了しました。"));
    pauseFor(500);
    ShowStepStatus(QStringLiteral("終了処理中..."));
    if (hooks_.showViewingUrl) hooks_.showViewingUrl(viewUrl(BaseConv(PngCode, 10, 64)));
    closeAs(false);
}

void SendDataWin::ShowStepStatus(const QString& text) {
    ShowStatus(text);
    pauseFor(100);
}

void SendDataWin::ShowStatus(const QString& text) {
    Status->setText(text);
    Status->repaint();
    statusHistory << text;
}

void SendDataWin::ReportRuntimeError(int code, const QString& description) {
    if (code == FaultNumber::PathNotFound) {
        error(QStringLiteral("転送すべきファイルが読み込めません。"));
    } else {
        desktop().message(this, QStringLiteral("致命的なエラー"),
                          QStringLiteral("予期しないエラーが発生しました。サポートBBSで報告を"
                                         "お願いします。") +
                              kCrLf + QStringLiteral("エラーコード:") + QString::number(code) +
                              kCrLf + QStringLiteral("詳細:") + description,
                          MsgIcon::Critical);
        offerSupportBoard();
    }
    closeAs(true);
}

void SendDataWin::ReportInternetError(const FtpFailure& failure) {
    if (failure.loginRefused) {
        const MsgAnswer answer = desktop().message(
            this, QStringLiteral("お知らせ"),
            QStringLiteral("現在ご使用のバージョンよりも新しいバージョンが公開されています。") +
                kCrLf +
                QStringLiteral("クイブロはサーバーと連動して動作しますので、最新バージョン以外は"
                               "使用できません。") +
                kCrLf + QStringLiteral("今すぐダウンロードページを開きますか？"),
            MsgIcon::Question, MsgButtons::YesNo);
        if (answer == MsgAnswer::Yes) desktop().openUrl(downloadPageUrl());
    } else {
        error(QStringLiteral("[") + ftpStageName(failure.stage) +
              QStringLiteral("]プロセスにおいて、エラーが発生しました。") + kCrLf +
              QStringLiteral("エラー内容は以下の通りです。") + kCrLf +
              QStringLiteral("サポートBBSで報告をお願いします。") + kCrLf +
              QString(19, QChar(0xFF0D)) + kCrLf + QStringLiteral("エラーコード: ") +
              QString::number(failure.code) + kCrLf + failure.description);
        if (isPassingFailure(failure) &&
            desktop().message(this, QStringLiteral("確認"),
                              QStringLiteral("同じ画像をもう一度転送しますか？"), MsgIcon::Question,
                              MsgButtons::YesNo, MsgAnswer::Yes) == MsgAnswer::Yes) {
            tryAgain_ = true;  // the run goes on from the user check, the work file kept
            return;
        }
        offerSupportBoard();
    }
    closeAs(true);
}

void SendDataWin::offerSupportBoard() {
    if (desktop().message(this, QStringLiteral("質問"),
                          QStringLiteral("サポートBBSを開いてよろしいですか？"), MsgIcon::Question,
                          MsgButtons::YesNo) == MsgAnswer::Yes)
        desktop().openUrl(supportBoardUrl());
}

void SendDataWin::error(const QString& text) {
    desktop().message(this, QStringLiteral("エラー"), text, MsgIcon::Critical);
}

void SendDataWin::closeAs(bool failed) {
    // A run that stored nothing on the service does not lose the picture: after its last
    // message, and before the window closes, the user may keep it.
    if (failed && !registered_ && !hooks_.localCopyKept)
        offerToKeepPicture(desktop(), this, *hooks_.imgctl, keptPicture_);
    if (hooks_.finished) hooks_.finished(failed);
    finished_ = true;
    done(failed ? QDialog::Rejected : QDialog::Accepted);
}

void SendDataWin::closeEvent(QCloseEvent* event) {
    if (finished_) {
        QDialog::closeEvent(event);
    } else {
        event->ignore();  // the run ends the dialog itself
    }
}

void SendDataWin::reject() {
    if (finished_) QDialog::reject();
}

}  // namespace quiblo

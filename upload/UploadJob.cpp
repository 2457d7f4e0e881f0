#include "UploadJob.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <optional>
#include <utility>

#include "FtpTransfer.h"
#include "HttpTransfer.h"
#include "ReducedPicture.h"
#include "confirm/LocalCopy.h"
#include "history/HistoryFile.h"
#include "history/Thumbnails.h"
#include "platform/Desktop.h"
#include "platform/Fault.h"
#include "platform/Lines.h"
#include "platform/ProgramFolder.h"
#include "platform/Version.h"
#include "platform/Wait.h"
#include "service/Codes.h"
#include "service/Replies.h"
#include "service/ServiceUrls.h"
#include "service/SimpleHttp.h"
#include "service/UserCheck.h"
#include "service/UserId.h"

namespace quiblo {

UploadJob::UploadJob(UploadHooks hooks, const QImage& picture, QWidget* boxParent)
    : hooks_(std::move(hooks)),
      picture_(picture),
      boxParent_(boxParent),
      keptPicture_(picture),
      sizeLimit_(hooks_.sizeLimit > 0 ? hooks_.sizeLimit : kUploadSizeLimit),
      weighAfterCheck_(hooks_.sizeLimit <= 0) {}

bool UploadJob::prepare() {
    showStepStatus(tr("Preparing the picture..."));
    const UploadCodes codes = hooks_.makeUploadCodes();
    pngCode_ = codes.pngcode;
    delId_ = codes.delid;
    uploadedAt_ = codes.uploadedAt;
    remoteFileName_ = pngCode_ + QStringLiteral(".png");
    showStatus(tr("Saving the picture..."));
    workFile_ = programFile(hooks_.programFolder, QStringLiteral("tmp_") + remoteFileName_);
    if (hooks_.workFileMade) hooks_.workFileMade(workFile_);
    const auto result = runWaiting([&] { return savePicture(picture_); });
    if (result.written) return true;
    reportPngError(result.errorCode);
    return false;
}

// The image library failed: its code in one box, the end of the run in the next.
void UploadJob::reportPngError(int code) {
    error(crLf(tr("Writing the PNG data failed.\n"
                  "Error code: %1"))
              .arg(code));
    error(tr("An error occurred; nothing was uploaded."));
    end(true);
}

// The stronger level never writes less than this share of the normal level's bytes (png_bench's
// strong column): a picture further over the limit is not encoded again.
constexpr double kStrongReach = 0.75;

// Runs on the waiting helper's worker. A picture over the upload limit is encoded once more at
// the stronger level before the size check may refuse it; the status stays meanwhile. A picture
// out of that level's reach is refused at once rather than after seconds more of encoding.
ImgctlLibrary::PngResult UploadJob::savePicture(const QImage& picture) {
    ImgctlLibrary& imgctl = *hooks_.imgctl;
    const ImgctlLibrary::PngResult result = imgctl.writePng(picture, workFile_);
    const qint64 size = QFileInfo(workFile_).size();
    if (!result.written || size <= sizeLimit_ || double(size) * kStrongReach > sizeLimit_)
        return result;
    return imgctl.writePng(picture, workFile_, ImgctlLibrary::Effort::Strong);
}

// A work file still over the limit (as encoded, or as the editor left it) is offered in fewer
// colours, made while the status still says the picture is being saved. False: the run ended.
bool UploadJob::offerReducedPicture() {
    if (QFileInfo(workFile_).size() <= sizeLimit_) return true;
    const QString reducedPath = workFile_.chopped(4) + QStringLiteral("_256.png");
    // Read back from the work file, as the editor may have changed it; decoded on the worker too.
    const std::optional<ReducedPicture> reduced =
        runWaiting([&]() -> std::optional<ReducedPicture> {
            const QImage picture(workFile_);
            if (picture.isNull()) return std::nullopt;
            return makeReducedPicture(*hooks_.imgctl, picture, reducedPath, sizeLimit_);
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
        desktop().message(boxParent_, tr("Confirm"), reducedOfferText(*reduced), MsgIcon::Question,
                          MsgButtons::YesNo, MsgAnswer::Yes);
    // Yes makes the reduced picture the work file; anything else sends nothing.
    if (answer == MsgAnswer::Yes && std::rename(QFile::encodeName(reducedPath).constData(),
                                                QFile::encodeName(workFile_).constData()) == 0)
        return true;
    QFile::remove(reducedPath);
    refuseTooLarge();
    return false;
}

void UploadJob::refuseTooLarge() {
    error(
        crLf(tr("The file is too large to upload.\n"
                "Capture a smaller area.")));
    end(true);
}

// The user check comes before the size is weighed: the service says its size limit there.
void UploadJob::checkUserAndConnect() {
    try {
        showStatus(tr("Checking the user..."));
        const UserCheck check = quiblo::checkUser(hooks_.service, hooks_.httpLimits);
        // An address the settings hold but that cannot be read: no service was contacted.
        for (const QString& problem : {check.unreadableSetting, check.tlsFailure}) {
            if (!problem.isEmpty()) {
                error(problem + kCrLf + tr("Nothing was uploaded."));
                end(true);
                return;
            }
        }
        const UploadPermission permission = uploadPermission(check.reply);
        if (permission.kind != UploadPermission::Kind::Allowed) {
            if (permission.kind == UploadPermission::Kind::Refused) showStatus(tr("User checked."));
            error(permission.text);
            end(true);
            return;
        }
        showStatus(tr("User checked. "));
        emit userInfoShown(permission.text);
        sizeLimit_ = check.sizeLimit;
        if (hooks_.sizeLimitAnnounced) hooks_.sizeLimitAnnounced(sizeLimit_);
        if (std::exchange(weighAfterCheck_, false) && !offerReducedPicture()) return;
        if (check.uploadPath.isEmpty())
            connectToServer();
        else
            sendOverHttp(servicePageUrl(hooks_.service, check.uploadPath + remoteFileName_));
    } catch (const RuntimeFault& fault) {
        reportRuntimeError(fault.number(), fault.description());
    }
}

void UploadJob::connectToServer() {
    showStepStatus(tr("Starting the upload..."));
    FtpSession session;
    const QString password = MakeFtpPassword(kVersionMajor, kVersionMinor);
    const ServiceSettings& service = hooks_.service;
    const FtpAccount account{service.hostName(), service.ftpPort, service.address.secure,
                             QStringLiteral("quiblo"), service.ftpPasswordWithKey(password)};
    if (hooks_.ftpPasswordMade) hooks_.ftpPasswordMade(password);
    showStepStatus(tr("Connecting..."));
    if (auto failure = runWaiting([&] { return session.login(account); })) {
        reportInternetError(*failure);
        return;
    }
    showStatus(tr("Connected to the upload server."));
    transferFile(session);
}

// The service offers the upload over HTTP: the same steps and status lines as over FTP, with the
// HTTP status in place of the FTP server's reply.
void UploadJob::sendOverHttp(const QString& url) {
    showStepStatus(tr("Starting the upload..."));
    showStepStatus(tr("Connecting..."));
    showStatus(tr("Connected to the upload server."));
    const QString key = hooks_.service.uploadKey;
    const QString password = MakeFtpPassword(kVersionMajor, kVersionMinor);
    if (hooks_.ftpPasswordMade) hooks_.ftpPasswordMade(password);
    sendWorkFile([&](const QByteArray& data, const std::function<void(qint64)>& onChunk) {
        return putPicture(url, password, key, data, onChunk);
    });
}

void UploadJob::transferFile(FtpSession& session) {
    sendWorkFile([&](const QByteArray& data, const std::function<void(qint64)>& onChunk) {
        return session.upload(remoteFileName_, data, onChunk);
    });
}

void UploadJob::sendWorkFile(const Transfer& transfer) {
    QFile work(workFile_);
    if (!QFileInfo(workFile_).dir().exists()) throw RuntimeFault(FaultNumber::PathNotFound);
    if (!work.exists()) throw RuntimeFault(FaultNumber::FileNotFound);
    // The size is checked before the remote file is opened: a refused picture leaves nothing.
    if (work.size() > sizeLimit_) {
        refuseTooLarge();
        return;
    }
    if (!work.open(QIODevice::ReadOnly)) throw RuntimeFault(FaultNumber::PathNotFound);
    const QByteArray data = work.readAll();
    work.close();
    const qint64 total = data.size();
    emit progressRangeSet(static_cast<int>(std::max<qint64>(total, 1)));
    emit progressMade(0);

    // Chunks are reported from the transfer's thread; they are shown on this one.
    auto onChunk = [this, total](qint64 sent) {
        QMetaObject::invokeMethod(
            this,
            [this, sent, total] {
                emit progressMade(static_cast<int>(sent));
                showStatus(tr("Uploading... [ %1 / %2 bytes ]").arg(sent).arg(total));
            },
            Qt::QueuedConnection);
    };
    if (auto failure = runWaiting([&] { return transfer(data, onChunk); })) {
        reportInternetError(*failure);
        return;
    }
    QFile::remove(workFile_);  // only a complete transfer removes the work file
    showStepStatus(tr("Upload finished."));
    registerUpload();
}

void UploadJob::registerUpload() {
    showStepStatus(tr("Registering the upload..."));
    // The lifetime the user chose goes with it; an earlier service ignores it.
    const QString& lifetime = hooks_.service.lifetime;
    const QString url = recordUrl(hooks_.service, pngCode_, delId_, GetUserId()) +
                        (lifetime.isEmpty() ? QString() : QStringLiteral("&expires=") + lifetime);
    const HttpRequest request{url, hooks_.service.uploadKey, hooks_.httpLimits};
    const HttpReply reply = runWaiting([&] { return httpGet(request); });
    const ResultReply result = readResultReply(reply.text());
    // Recorded the moment the service has said yes, before any pause: a program ended in between
    // would otherwise leave a picture that its owner can never delete.
    if (result.status == ReplyStatus::Success) {
        registered_ = true;
        AppendHistoryRecord(hooks_.programFolder, pngCode_, delId_, uploadedAt_);
        // The history window's picture of it: after the record, and nothing lost without it.
        runWaiting(
            [&] { keepThumbnail(*hooks_.imgctl, hooks_.programFolder, pngCode_, keptPicture_); });
    }
    pauseFor(200);
    if (result.status == ReplyStatus::Error) {
        showStatus(tr("Registering the upload... failed"));
        error(result.message);
        end(true);
        return;
    }
    if (result.status != ReplyStatus::Success) {
        showStatus(tr("Registering the upload... failed"));
        error(!reply.tlsFailure.isEmpty() ? reply.tlsFailure : connectionFailedText());
        end(true);
        return;
    }
    showStatus(tr("Registering the upload... done"));
    showStepStatus(tr("Writing the history..."));
    showStatus(tr("Writing the history... done"));
    showStepStatus(tr("Done."));
    pauseFor(500);
    showStepStatus(tr("Finishing..."));
    if (hooks_.showViewingUrl)
        hooks_.showViewingUrl(viewUrl(hooks_.service, BaseConv(pngCode_, 10, 64)));
    end(false);
}

void UploadJob::showStepStatus(const QString& text) {
    showStatus(text);
    pauseFor(100);
}

void UploadJob::showStatus(const QString& text) {
    statusHistory_ << text;
    emit statusShown(text);
}

void UploadJob::reportRuntimeError(int code, const QString& description) {
    if (code == FaultNumber::PathNotFound) {
        error(tr("Cannot read the file to upload."));
    } else {
        desktop().message(
            boxParent_, tr("Fatal error"),
            crLf(tr("An unexpected error occurred. Please report it on the support board.\n"
                    "Error code: %1\n"
                    "Details: %2"))
                .arg(QString::number(code), description),
            MsgIcon::Critical);
        offerSupportBoard();
    }
    end(true);
}

void UploadJob::reportInternetError(const TransferFailure& failure) {
    if (failure.loginRefused) {
        const MsgAnswer answer = desktop().message(
            boxParent_, tr("Notice"),
            crLf(
                tr("A newer version of Quiblo is available.\n"
                   "Quiblo works together with its server, so only the newest version can upload.\n"
                   "Open the download page now?")),
            MsgIcon::Question, MsgButtons::YesNo);
        if (answer == MsgAnswer::Yes) desktop().openUrl(downloadPageUrl(hooks_.service));
    } else {
        // The rule is a text of its own so that each language draws it in its own characters.
        error(crLf(tr("An error occurred in the [%1] step.\n"
                      "The details follow.\n"
                      "Please report it on the support board.\n"
                      "%2\n"
                      "Error code: %3\n"
                      "%4"))
                  .arg(transferStageName(failure.stage),
                       tr("--------------------------------------"), QString::number(failure.code),
                       failure.description));
        if (isPassingFailure(failure) &&
            desktop().message(boxParent_, tr("Confirm"), tr("Upload the same picture again?"),
                              MsgIcon::Question, MsgButtons::YesNo,
                              MsgAnswer::Yes) == MsgAnswer::Yes) {
            tryAgain_ = true;  // the run goes on from the user check, the work file kept
            return;
        }
        offerSupportBoard();
    }
    end(true);
}

void UploadJob::offerSupportBoard() {
    if (desktop().message(boxParent_, tr("Question"), tr("Open the support board?"),
                          MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes)
        desktop().openUrl(supportBoardUrl(hooks_.service));
}

void UploadJob::takeDrawnPicture() {
    const QImage drawn = runWaiting([&] { return QImage(workFile_); });
    if (!drawn.isNull()) keptPicture_ = drawn;
}

// A picture over the limit is offered in fewer colours before the service is asked, when its
// limit is known from an earlier run; else right after the user check, which announces it.
void UploadJob::send() {
    if (!weighAfterCheck_ && !offerReducedPicture()) return;
    pauseFor(500);
    processPendingEvents();
    do {
        tryAgain_ = false;
        checkUserAndConnect();
    } while (tryAgain_);
}

void UploadJob::error(const QString& text) {
    desktop().message(boxParent_, tr("Error"), text, MsgIcon::Critical);
}

// A run that stored nothing on the service does not lose the picture: after its last message,
// and before the run is over, the user may keep it.
void UploadJob::end(bool failed) {
    if (failed && !registered_ && !hooks_.localCopyKept)
        offerToKeepPicture(desktop(), boxParent_, *hooks_.imgctl, keptPicture_);
    if (hooks_.finished) hooks_.finished(failed);
    ended_ = true;
    emit ended(failed);
}

}  // namespace quiblo

// The upload chain of one confirmed picture, without a window: the work file, the offer in
// fewer colours, the user check, the transfer (FTP, or HTTP where the service offers it) and the
// registration, and another try after a passing failure. It reports each status and the progress
// through signals and asks its questions through the desktop seam; the upload dialog shows it.
#pragma once

#include <QImage>
#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

#include "imagelib/ImgctlLibrary.h"
#include "service/Codes.h"
#include "service/ServiceSettings.h"
#include "service/SimpleHttp.h"

class QWidget;

namespace quiblo {

class Desktop;
class FtpSession;
struct TransferFailure;

// What an upload is given, and where it reports what it did; the application wires these.
struct UploadHooks {
    Desktop* desktop = nullptr;
    ImgctlLibrary* imgctl = nullptr;
    QString programFolder;  // where the work file and the history go
    // The service's settings for this run, read once at its start: a change made meanwhile
    // applies from the next run. (By default the environment's and the build's.)
    ServiceSettings service = serviceSettings();
    std::function<UploadCodes()> makeUploadCodes = [] { return MakeUploadCodes(); };
    HttpLimits httpLimits = {};  // of the user check and the registration
    // The size limit the service announced last, which the picture is weighed against before
    // the user check (0: none yet, and the user check comes first), and where this run's
    // announcement goes.
    qint64 sizeLimit = 500000;
    std::function<void(qint64 limit)> sizeLimitAnnounced;
    std::function<void(const QString& url)> showViewingUrl;  // a finished upload's address
    std::function<void(bool failed)> finished;               // the run's outcome
    std::function<void()> drawingOffered;                    // the drawing step was offered
    // For a look from outside (the tests): the work PNG's path, the upload password made.
    std::function<void(const QString& path)> workFileMade;
    std::function<void(const QString& password)> ftpPasswordMade;
    // A local copy was written already: a run that sends nothing does not offer the picture.
    bool localCopyKept = false;
};

class UploadJob : public QObject {
    Q_OBJECT

public:
    // boxParent: the window the job's boxes stand over (none for a job on its own).
    UploadJob(UploadHooks hooks, const QImage& picture, QWidget* boxParent = nullptr);

    // Writes the work file. False: the run ended (the failure was said).
    bool prepare();
    // The work file as the editor left it is what a run that sends nothing offers to keep.
    void takeDrawnPicture();
    // The rest of the chain, to its end.
    void send();

    bool hasEnded() const { return ended_; }
    const UploadHooks& hooks() const { return hooks_; }
    const QString& pngCode() const { return pngCode_; }
    const QString& workFile() const { return workFile_; }
    // Every status text in the order given, for a look back at a run.
    const QStringList& statusHistory() const { return statusHistory_; }

signals:
    void statusShown(const QString& text);
    void userInfoShown(const QString& text);
    void progressRangeSet(int maximum);
    void progressMade(int sent);
    // The run is over: its last box answered, its outcome reported.
    void ended(bool failed);

private:
    ImgctlLibrary::PngResult savePicture(const QImage& picture);
    void reportPngError(int code);
    bool offerReducedPicture();
    void refuseTooLarge();
    void checkUserAndConnect();
    void connectToServer();
    void transferFile(FtpSession& session);
    void sendOverHttp(const QString& url);
    // Sends the work file's bytes one way or the other, with the progress shown.
    using Transfer = std::function<std::optional<TransferFailure>(
        const QByteArray& data, const std::function<void(qint64)>& onChunk)>;
    void sendWorkFile(const Transfer& transfer);
    void registerUpload();
    void showStepStatus(const QString& text);
    void showStatus(const QString& text);
    void reportRuntimeError(int code, const QString& description);
    void reportInternetError(const TransferFailure& failure);
    void offerSupportBoard();
    void end(bool failed);
    void error(const QString& text);

    Desktop& desktop() const { return *hooks_.desktop; }

    UploadHooks hooks_;
    QImage picture_;
    QWidget* boxParent_;
    QString pngCode_;
    QString delId_;
    QString remoteFileName_;
    QString workFile_;
    QString uploadedAt_;  // the time the history list shows for this upload
    QStringList statusHistory_;
    bool tryAgain_ = false;  // a passing failure, and the user wants the same picture sent again
    bool ended_ = false;
    bool registered_ = false;  // the service said yes: the picture is stored there
    QImage keptPicture_;  // what a run that stores nothing offers to keep: as captured or drawn
    qint64 sizeLimit_;    // the service's: announced at the user check, else the one before
    bool weighAfterCheck_ = false;  // no limit known before the user check
};

}  // namespace quiblo

// The upload dialog: carries one confirmed picture to the service in a fixed chain of steps
// (picture, user check, FTP transfer, registration) while a status line follows, then closes.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

#include "capture/ImgctlLibrary.h"
#include "service/Codes.h"

class QLabel;
class QProgressBar;

namespace quiblo {

class Desktop;
class FtpSession;
struct FtpFailure;

// What the upload dialog is given, and where it reports what it did; the application wires these.
struct UploadHooks {
    Desktop* desktop = nullptr;
    ImgctlLibrary* imgctl = nullptr;
    QString programFolder;  // where the work file and the history go
    std::function<UploadCodes()> makeUploadCodes = [] { return MakeUploadCodes(); };
    std::function<void(const QString& url)> showViewingUrl;  // a finished upload's address
    std::function<void(bool failed)> finished;               // the run's outcome
    std::function<void()> drawingOffered;                    // the drawing step was offered
    std::function<void(const QString& path)> workFileMade;   // the work PNG's path
    std::function<void(const QString& password)> ftpPasswordMade;
    // A local copy was written already: a run that sends nothing does not offer the picture.
    bool localCopyKept = false;
};

class SendDataWin : public QDialog {
    Q_OBJECT

public:
    // picture: the confirmed picture; paintWanted: the user asks to draw on it first.
    SendDataWin(UploadHooks hooks, const QImage& picture, bool paintWanted,
                QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Status;
    QLabel* UserInfo;
    QProgressBar* Progress;

    QString PngCode;
    QString DelId;
    QString RemoteFileName;
    QString LocalFilePath;

    // Every status text in the order shown, for a look back at a run.
    QStringList statusHistory;

    void StartUpload();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Esc: the run cannot be interrupted

private:
    bool PrepareImage();
    ImgctlLibrary::PngResult SavePicture(const QImage& picture);
    void reportPngError(int code);
    bool OfferReducedPicture();
    void refuseTooLarge();
    void CheckUserAndConnect();
    void Connect();
    void TransferFile(FtpSession& session);
    void FinishTransfer();
    void RegisterUpload();
    void ShowStepStatus(const QString& text);
    void ShowStatus(const QString& text);
    void ReportRuntimeError(int code, const QString& description);
    void ReportInternetError(const FtpFailure& failure);
    void offerSupportBoard();
    void closeAs(bool failed);
    void error(const QString& text);

    Desktop& desktop() const { return *hooks_.desktop; }

    UploadHooks hooks_;
    QImage picture_;
    bool paintWanted_;
    bool started_ = false;     // the run began: a later focus or show starts nothing
    QString uploadedAt_;       // the time the history list shows for this upload
    bool tryAgain_ = false;    // a passing failure, and the user wants the same picture sent again
    bool finished_ = false;    // the run ended and the dialog may close
    bool registered_ = false;  // the service said yes: the picture is stored there
    QImage keptPicture_;  // what a run that stores nothing offers to keep: as captured or drawn
};

}  // namespace quiblo

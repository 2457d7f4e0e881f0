// The upload dialog: shows one confirmed picture's upload (its status line, the user's count and
// the progress bar), offers the drawing step before it, and closes when the run is over.
#pragma once

#include <QDialog>

#include "UploadJob.h"

class QLabel;
class QProgressBar;

namespace quiblo {

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

    const UploadJob& job() const { return job_; }
    void StartUpload();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Esc: the run cannot be interrupted

private:
    void buildControls();
    void Job_StatusShown(const QString& text);
    void Job_UserInfoShown(const QString& text);
    void Job_Ended(bool failed);

    UploadJob job_;
    bool paintWanted_;
    bool started_ = false;   // the run began: a later focus or show starts nothing
    bool finished_ = false;  // the run ended and the dialog may close
};

}  // namespace quiblo

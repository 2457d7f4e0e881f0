#include "SendDataWin.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include "confirm/LoadMspaintWin.h"
#include "platform/Twips.h"

namespace quiblo {

namespace {

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
      job_(std::move(hooks), picture, this),
      paintWanted_(paintWanted) {
    setObjectName(QStringLiteral("SendDataWin"));
    setWindowTitle(tr("Quiblo - Uploading"));
    setModal(true);
    setFixedSize(twipsToPixels(5400), twipsToPixels(2100));
    buildControls();
    connect(&job_, &UploadJob::statusShown, this, &SendDataWin::Job_StatusShown);
    connect(&job_, &UploadJob::userInfoShown, this, &SendDataWin::Job_UserInfoShown);
    connect(&job_, &UploadJob::progressRangeSet, Progress,
            [this](int maximum) { Progress->setRange(0, maximum); });
    connect(&job_, &UploadJob::progressMade, Progress, &QProgressBar::setValue);
    connect(&job_, &UploadJob::ended, this, &SendDataWin::Job_Ended);
}

void SendDataWin::buildControls() {
    Label1 = makeLabel(this, "Label1", tr("Progress"));
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
    if (!job_.prepare()) return;
    if (paintWanted_) {
        if (const auto& offered = job_.hooks().drawingOffered) offered();
        LoadMspaintWin paint(*job_.hooks().desktop, job_.workFile(), this);
        paint.exec();
        job_.takeDrawnPicture();
    }
    job_.send();
}

// No repaint here: every status is followed by a wait that runs the event loop, which paints
// it. A repaint for each 100-byte chunk kept the window's thread painting on a busy machine, so
// that it fell behind the transfer.
void SendDataWin::Job_StatusShown(const QString& text) {
    Status->setText(text);
}

void SendDataWin::Job_UserInfoShown(const QString& text) {
    UserInfo->setText(text);
    UserInfo->show();
}

void SendDataWin::Job_Ended(bool failed) {
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

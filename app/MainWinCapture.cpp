// The capture command of the main window: the type choice, the capture itself, the chain of
// windows it opens, and the blink that points at a new result.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFrame>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "AppState.h"
#include "MainWin.h"
#include "WindowActivation.h"
#include "capture/PosSelectWin.h"
#include "confirm/PreviewWin.h"
#include "platform/ClipboardHolder.h"
#include "platform/Fault.h"
#include "platform/Lines.h"
#include "platform/Wait.h"
#include "settings/IniFile.h"
#include "upload/SendDataWin.h"

namespace quiblo {

namespace {

// The desktop's own screen capture (the portal of a Wayland session) is missing or said no.
QString desktopFailureText(GrabFailure failure) {
    return MainWin::tr("The screen capture failed.") + kCrLf +
           (failure == GrabFailure::Refused
                ? MainWin::tr("The desktop did not allow the screen capture.")
                : MainWin::tr("The desktop's screen capture is not available."));
}

}  // namespace

void MainWin::QuibloType_Click(int index) {
    app_.CaptureType = static_cast<qint16>(index + 1);
    for (int i = 0; i < 3; ++i) PosSelectMenuCmd[i]->setChecked(i == index);
}

void MainWin::PosSelectMenuCmd_Click(int index) {
    QuibloType[index]->setChecked(true);
    QuibloType_Click(index);
}

void MainWin::startNoticeBlink() {
    BlinkCount = 0;
    NoticeTickerTimer->start();
}

void MainWin::NoticeTickerTimer_Timer() {
    NoticeURL->setVisible(!NoticeURL->isVisible());
    ++BlinkCount;
    if (BlinkCount == 10) {
        NoticeTickerTimer->stop();
        // A restart in mid-blink toggles from where it stood; the blink still ends hidden.
        NoticeURL->hide();
    }
}

void MainWin::QuibloCmd_Click() {
    CaptureStep = 0;
    // However the chain ends, the keyboard is back in the main window.
    const ActivateWhenDone activate(this);
    try {
        if (!runCapture()) return;
    } catch (const RuntimeFault& fault) {
        if (fault.number() == FaultNumber::InvalidPicture) {
            reportInvalidPicture();
        } else {
            reportCaptureFault(fault.number(), fault.description());
        }
    } catch (const std::exception& error) {
        reportCaptureFault(0, QString::fromLocal8Bit(error.what()));
    }
}

// The upload dialog's view of the application: what it needs, and where its results go.
UploadHooks MainWin::uploadHooks(PreviewWin& confirmed) {
    UploadHooks hooks;
    hooks.desktop = &app_.desktop();
    hooks.imgctl = &app_.imgctl();
    hooks.programFolder = app_.programFolder();
    hooks.service = app_.serviceSettings();
    hooks.makeUploadCodes = [this] { return app_.makeUploadCodes(); };
    hooks.httpLimits = app_.httpLimits();
    hooks.sizeLimit = app_.sizeLimit;
    hooks.sizeLimitAnnounced = [this](qint64 limit) { app_.sizeLimit = limit; };
    hooks.showViewingUrl = [this](const QString& url) { URL->setPlainText(url); };
    hooks.finished = [this](bool failed) { app_.UploadFailed = failed; };
    hooks.drawingOffered = [&confirmed] { confirmed.drawingOffered(); };
    hooks.localCopyKept = confirmed.localCopyWritten();
    return hooks;
}

// The capture chain; false when it ended early (region given up, platform unsupported).
bool MainWin::runCapture() {
    TempPic->picture = QImage();

    CaptureStep = 1;
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString savedText =
        clipboard->mimeData() && clipboard->mimeData()->hasText() ? clipboard->text() : QString();

    CaptureStep = 2;
    hide();
    processPendingEvents();

    CaptureStep = 3;
    const int wait = readCaptureWait(app_.programFolder());
    QElapsedTimer waited;
    waited.start();
    app_.screen().prepare();  // set up while we wait anyway
    pauseFor(wait - static_cast<int>(waited.elapsed()));

    CaptureStep = 4;
    if (!app_.screen().available()) {
        endForUnsupportedPlatform();
        return false;
    }
    const QImage grabbed = grabForType(wait);

    CaptureStep = 6;
    if (grabbed.isNull() && app_.screen().lastFailure() != GrabFailure::None) {
        app_.desktop().message(this, tr("Error"), desktopFailureText(app_.screen().lastFailure()),
                               MsgIcon::Critical);
        show();
        return false;
    }
    if (grabbed.isNull()) throw RuntimeFault(FaultNumber::InvalidPicture);
    TempPic->picture = grabbed;

    CaptureStep = 7;
    // Text beyond what a holder could keep after the program ends stays with its program.
    if (savedText.toUtf8().size() <= kMostHeldText) restoreClipboard(grabbed, savedText);
    show();

    CaptureStep = 8;
    if (app_.CaptureType == 3) {
        PosSelectWin region(app_.desktop(), TempPic->picture, this);
        region.exec();
        app_.RegionCancelled = region.cancelled();
        if (app_.RegionCancelled) return false;
        const QRect marked = region.captureRect();
        app_.CaptureRect = {toInt16(marked.left()), toInt16(marked.top()), toInt16(marked.width()),
                            toInt16(marked.height())};
    }

    CaptureStep = 10;
    {
        const CaptureRectangle& r = app_.CaptureRect;
        PreviewWin preview(app_.desktop(), app_.imgctl(), TempPic->picture,
                           QRect(r.Left, r.Top, r.Width, r.Height), this);
        preview.onFailed = [this] { app_.UploadFailed = true; };
        preview.openUploadDialog = [this](PreviewWin& confirmed) {
            SendDataWin upload(uploadHooks(confirmed), confirmed.previewPicture(),
                               confirmed.paintWanted(), &confirmed);
            upload.exec();
        };
        preview.exec();
    }

    CaptureStep = 11;
    if (!app_.UploadFailed) startNoticeBlink();
    CaptureStep = 12;
    return true;
}

// Grabs what the capture type asks for and sets the captured rectangle; the second wait
// follows the grab, as the picture would reach the clipboard before it is read.
QImage MainWin::grabForType(int wait) {
    QImage picture;
    if (app_.CaptureType == 2) {
        picture = app_.screen().grabActiveWindow();
    } else {
        picture = app_.screen().grabScreen();
    }
    if (app_.CaptureType != 3 && !picture.isNull())
        app_.CaptureRect = {0, 0, toInt16(picture.width()), toInt16(picture.height())};

    CaptureStep = 5;
    pauseFor(wait);
    return picture;
}

// The screenshot stays on the clipboard, with the text that was there before beside it.
void MainWin::restoreClipboard(const QImage& picture, const QString& savedText) {
    auto content = std::make_unique<QMimeData>();
    content->setImageData(picture);
    if (!savedText.isEmpty()) content->setText(savedText);
    QGuiApplication::clipboard()->setMimeData(content.release());  // the clipboard owns it
}

void MainWin::reportInvalidPicture() {
    const QString text = crLf(app_.CaptureType == 2 ? tr("The screen capture failed.\n"
                                                         "Check that the window is there,\n"
                                                         "then try again.")
                                                    : tr("The screen capture failed.\n"
                                                         "Please try again."));
    app_.desktop().message(this, tr("Error"), text, MsgIcon::Critical);
    show();
}

void MainWin::reportCaptureFault(int number, const QString& description) {
    show();
    app_.desktop().message(
        this, tr("Error"),
        crLf(tr("An error occurred.\n"
                "Error code: %1\n"
                "Details: %2\n"
                "Step: %3"))
            .arg(QString::number(number), description, QString::number(CaptureStep)),
        MsgIcon::Critical);
}

// No screen to capture in this session: the program cannot work here and ends.
void MainWin::endForUnsupportedPlatform() {
    app_.desktop().message(this, tr("Error"), tr("There is no screen to capture in this session."),
                           MsgIcon::Critical);
    close();
}

}  // namespace quiblo

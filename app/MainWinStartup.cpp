// The main window's start-up checks: the image library, the single running copy (and the
// requests a later start hands over to it), and a program folder that cannot be written.
#include <QApplication>
#include <QDir>
#include <QStringList>
#include <QTimer>

#include "AppState.h"
#include "CommandLine.h"
#include "MainWin.h"
#include "history/HistoryFile.h"
#include "platform/Lines.h"
#include "platform/ProgramFolder.h"
#include "settings/IniFile.h"

namespace quiblo {

bool MainWin::checkImageLibrary() {
    switch (app_.imgctl().probe()) {
        case ImgctlLibrary::Probe::Loaded:
            return true;
        case ImgctlLibrary::Probe::NotLoadable:
            app_.desktop().message(this, tr("Error"),
                                   crLf(tr("Cannot load the image library (libimgctl.so).\n"
                                           "Put it in the same folder as Quiblo\n"
                                           "or in a system library folder.")),
                                   MsgIcon::Critical);
            return false;
        case ImgctlLibrary::Probe::Unusable:
            break;
    }
    app_.desktop().message(this, tr("Error"),
                           crLf(tr("The image library (libimgctl.so)\n"
                                   "failed unexpectedly.")),
                           MsgIcon::Critical);
    return false;
}

bool MainWin::checkSingleInstance() {
    switch (app_.instanceLock().acquire()) {
        case InstanceLock::Outcome::Acquired:
            takeOverAsRunningCopy();
            return true;
        case InstanceLock::Outcome::Unavailable:
            // No copy is known to run: run without the lock rather than refuse to start.
            qWarning("quiblo: the single-instance lock %s cannot be taken; running without it",
                     qPrintable(app_.instanceLock().path()));
            return true;
        case InstanceLock::Outcome::HeldByRunningCopy:
            break;
    }
    if (app_.handOverToRunningCopy()) return false;  // the running copy took the request
    app_.desktop().message(this, tr("Error"), tr("Quiblo is already running."), MsgIcon::Critical);
    return false;
}

// Holding the lock: what a killed copy left behind is ours to tidy, and later starts may hand
// their requests to this copy.
void MainWin::takeOverAsRunningCopy() {
    removeStaleRewriteFiles(app_.programFolder(), {QString::fromLatin1(kHistoryFileName),
                                                   QString::fromLatin1(kSettingsFileName)});
    app_.instanceServer().onRequest = [this](const QString& request) {
        return InstanceServer_Request(request);
    };
    if (!app_.instanceServer().listen())
        qWarning("quiblo: cannot listen for capture requests on %s",
                 qPrintable(InstanceLock::socketPathFor(app_.instanceLock().path())));
}

// "capture full", "capture window" or "capture region" from a later start.
bool MainWin::InstanceServer_Request(const QString& request) {
    const QStringList words = request.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() != 2 || words[0] != QLatin1String("capture")) return false;
    const int type = captureTypeOfName(words[1]);
    if (type == 0) return false;
    return captureFromShortcut(type);
}

bool MainWin::captureFromShortcut(int captureType) {
    // Busy: a capture runs (the window is hidden) or a window of the program is open.
    if (!isVisible() || QApplication::activeModalWidget() || captureType < 1 || captureType > 3)
        return false;
    // Started from the event loop, so the request is answered before the capture begins.
    QTimer::singleShot(0, this, [this, captureType] {
        if (!isVisible() || QApplication::activeModalWidget()) return;
        PosSelectMenuCmd_Click(captureType - 1);
        QuibloCmd_Click();
    });
    return true;
}

void MainWin::warnUnwritableFolder() {
    if (!app_.programFolderWarning().isEmpty()) {
        app_.desktop().message(this, tr("Error"), app_.programFolderWarning(), MsgIcon::Critical);
        return;
    }
    app_.desktop().message(this, tr("Error"),
                           crLf(tr("Cannot write to the folder for settings and history.\n"
                                   "%1\n"
                                   "Settings, uploads and the history cannot be saved."))
                               .arg(QDir::toNativeSeparators(app_.programFolder())),
                           MsgIcon::Critical);
}

}  // namespace quiblo

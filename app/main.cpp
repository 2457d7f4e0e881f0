#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "AppState.h"
#include "Artwork.h"
#include "CommandLine.h"
#include "MainWin.h"
#include "keys/PrintKeys.h"
#include "platform/ClipboardHolder.h"
#include "platform/Desktop.h"
#include "platform/ProgramFolder.h"
#include "platform/Translation.h"
#include "settings/LanguageSetting.h"

namespace {

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// Hands the capture to the copy that runs for this user. A copy that is still starting holds the
// lock before it listens: keep trying for a while. Fills the exit code when it was handed over.
bool handOver(int captureType, const QString& socketPath, int attempts, int* exitCode) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) QThread::msleep(200);
        switch (quiblo::handToRunningCopy(socketPath, quiblo::captureRequest(captureType))) {
            case quiblo::HandOver::Taken:
                *exitCode = 0;
                return true;
            case quiblo::HandOver::Busy:
                print(stderr, QCoreApplication::translate(
                                  "main", "quiblo: Quiblo is busy and cannot capture now.\n"));
                *exitCode = 1;
                return true;
            case quiblo::HandOver::NoCopy:
                break;
        }
    }
    return false;
}

quiblo::ProgramFolderChoice chooseFolder() {
    return quiblo::chooseProgramFolder(quiblo::executableFolder(), quiblo::userDataFolder(),
                                       quiblo::isInstalledCopy(quiblo::executableFolder()));
}

// The texts in the language of the settings, else of the desktop.
void useChosenLanguage(QCoreApplication& app, const QString& programFolder) {
    quiblo::useLanguage(app, quiblo::chosenLanguage(programFolder));
}

// --help, --version and a wrong argument: read again once the texts' language is known.
int answerCommandLine(int argc, char* argv[], const QStringList& arguments) {
    QCoreApplication app(argc, argv);
    useChosenLanguage(app, chooseFolder().folder);
    const quiblo::CommandLine line = quiblo::parseCommandLine(arguments);
    switch (line.action) {
        case quiblo::CommandLine::Action::Help:
            print(stdout, quiblo::usageText());
            return 0;
        case quiblo::CommandLine::Action::Version:
            print(stdout, quiblo::versionText());
            return 0;
        default:
            print(stderr, QStringLiteral("quiblo: ") + line.error + QStringLiteral("\n\n") +
                              quiblo::usageText());
            return 2;
    }
}

// --bind-keys and --unbind-keys: beside a running copy, without its lock.
int changeKeys(QApplication& app, const quiblo::CommandLine& line) {
    quiblo::KeyRequest request;
    request.bind = line.action == quiblo::CommandLine::Action::BindKeys;
    request.program = QCoreApplication::applicationFilePath();
    request.programFolder = chooseFolder().folder;
    useChosenLanguage(app, request.programFolder);
    quiblo::useProgramFont(app);
    quiblo::QtDesktop desktop;
    request.desktop = quiblo::currentKeyDesktop();
    return quiblo::changePrintKeys(desktop, request);
}

// The main window until it closes; then the clipboard kept for after the program.
int runProgram(QApplication& app, const quiblo::CommandLine& line) {
    // First of all: a capture handed to a busy copy says so in this language too.
    useChosenLanguage(app, chooseFolder().folder);
    const QString lockPath = quiblo::InstanceLock::defaultPath();
    if (lockPath.isEmpty())
        print(stderr,
              QStringLiteral("quiblo: %1/quiblo-%2 belongs to another user, is a link or is "
                             "open to others: it is not used, and the program runs "
                             "without its single-instance lock\n")
                  .arg(QDir::tempPath())
                  .arg(::geteuid()));
    const QString socketPath = quiblo::InstanceLock::socketPathFor(lockPath);
    int exitCode = 0;
    if (line.captureType && handOver(line.captureType, socketPath, 1, &exitCode)) return exitCode;

    // Chosen again: its warning is written in the language chosen.
    const quiblo::ProgramFolderChoice folder = chooseFolder();
    quiblo::useProgramFont(app);

    quiblo::QtDesktop desktop;
    std::unique_ptr<quiblo::ScreenSource> screen = quiblo::makeScreenSource();
    quiblo::AppSeams seams;
    seams.desktop = &desktop;
    seams.programFolder = folder.folder;
    seams.programFolderWritable = folder.writable;
    seams.programFolderWarning = folder.warning;
    seams.libraryFolder = quiblo::executableFolder();
    seams.instanceLockPath = lockPath;
    seams.screen = screen.get();
    bool handedOver = false;
    if (line.captureType) {
        seams.handOverToRunningCopy = [&] {
            handedOver = handOver(line.captureType, socketPath, 15, &exitCode);
            return handedOver;
        };
    }
    quiblo::AppState state(seams);
    quiblo::MainWin mainWin(state);
    if (!mainWin.Form_Load()) return handedOver ? exitCode : 1;
    mainWin.show();
    if (line.captureType) mainWin.captureFromShortcut(line.captureType);
    const int ended = app.exec();
    quiblo::keepClipboardText(QCoreApplication::applicationFilePath());
    return ended;
}

// Qt 6.4's Wayland client can deadlock as the application object is destroyed: its display waits
// for its event thread, which waits in turn for a read the main thread never makes, and the
// program never ends. Once the program's own objects are gone nothing is left for Qt's teardown
// on Wayland, so the process ends here. (X11 keeps it: Qt hands the clipboard to the clipboard
// manager then.)
int leaveWithoutWaylandTeardown(int code) {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The hidden mode that keeps the program's clipboard text after it ends: no window, no lock.
    if (argc == 3 && std::strcmp(argv[1], "--hold-clipboard") == 0)
        return quiblo::runClipboardHolder(QString::fromLatin1(argv[2]), argc, argv);
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const quiblo::CommandLine line = quiblo::parseCommandLine(arguments);
    switch (line.action) {
        case quiblo::CommandLine::Action::Help:
        case quiblo::CommandLine::Action::Version:
        case quiblo::CommandLine::Action::Invalid:
            return answerCommandLine(argc, argv, arguments);
        case quiblo::CommandLine::Action::Run:
        case quiblo::CommandLine::Action::BindKeys:
        case quiblo::CommandLine::Action::UnbindKeys:
            break;
    }

    QApplication app(argc, argv);
    const int code = line.action == quiblo::CommandLine::Action::Run ? runProgram(app, line)
                                                                     : changeKeys(app, line);
    return leaveWithoutWaylandTeardown(code);
}

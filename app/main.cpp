#include <QApplication>
#include <QFont>

#include "AppState.h"
#include "Artwork.h"
#include "MainWin.h"
#include "platform/Desktop.h"
#include "platform/ProgramFolder.h"
#include "platform/Translation.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    quiblo::loadJapaneseTranslation(app);
    quiblo::useProgramFont(app);

    quiblo::QtDesktop desktop;
    std::unique_ptr<quiblo::ScreenSource> screen = quiblo::makeScreenSource();
    quiblo::AppSeams seams;
    seams.desktop = &desktop;
    seams.programFolder = quiblo::executableFolder();
    seams.screen = screen.get();
    quiblo::AppState state(seams);
    quiblo::MainWin mainWin(state);
    if (!mainWin.Form_Load()) return 1;
    mainWin.show();
    return app.exec();
}

// main of the tests that need a QApplication: windows run offscreen unless the test command
// points them at an X server.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/Translation.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The tests check the Japanese texts, in the programs they start as well.
    qputenv("LANGUAGE", "ja");
    QApplication app(argc, argv);
    quiblo::useLanguage(app, quiblo::Language::Japanese);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

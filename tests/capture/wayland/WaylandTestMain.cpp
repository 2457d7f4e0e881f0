// main of the tests inside the headless Wayland session: the session's variables first, then a
// QApplication on the platform the test binary is built for (QUIBLO_TEST_PLATFORM).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "WaylandSession.h"
#include "platform/Translation.h"

int main(int argc, char** argv) {
    if (const auto code = quiblo::test::runPatternWindowIfAsked(argc, argv)) return *code;
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();  // test discovery: no session
    QString failure;
    if (!quiblo::test::enterWaylandSession(&failure)) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", QUIBLO_TEST_PLATFORM);
    // The tests check the Japanese texts, in the programs they start as well.
    qputenv("LANGUAGE", "ja");
    QApplication app(argc, argv);
    quiblo::useLanguage(app, quiblo::Language::Japanese);
    return RUN_ALL_TESTS();
}

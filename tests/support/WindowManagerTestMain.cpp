// main of the tests that use windows under a real window manager: the test program starts its
// own Xvfb with openbox first, then its QApplication on that display.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "platform/Translation.h"
#include "support/WindowManagerSession.h"

namespace quiblo::test {

namespace {
WindowManagerSession* session = nullptr;
}

WindowManagerSession& windowManagerSession() {
    return *session;
}

}  // namespace quiblo::test

// The screen's size: QUIBLO_TEST_SCREEN ("WxH"), else 1024x768.
QSize screenSize() {
    const QStringList size = qEnvironmentVariable("QUIBLO_TEST_SCREEN").split(QLatin1Char('x'));
    if (size.size() == 2) return QSize(size[0].toInt(), size[1].toInt());
    return QSize(1024, 768);
}

int main(int argc, char** argv) {
    quiblo::test::WindowManagerSession session(screenSize());
    if (!session.running()) {
        std::fprintf(stderr, "no X session with a window manager: %s\n", session.failure().c_str());
        return 1;
    }
    // RandR monitors, each as xrandr --setmonitor takes it, separated by ";".
    const QString monitors = qEnvironmentVariable("QUIBLO_TEST_MONITORS");
    for (const QString& monitor : monitors.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!session.run(QStringLiteral("xrandr"), QStringList{QStringLiteral("--setmonitor")} +
                                                       monitor.split(QLatin1Char(' ')))) {
            std::fprintf(stderr, "xrandr refused %s\n", qPrintable(monitor));
            return 1;
        }
    }
    quiblo::test::session = &session;
    qputenv("DISPLAY", QByteArray::fromStdString(session.name()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    // The tests check the Japanese texts, in the programs they start as well; a test of the
    // languages themselves chooses as the program does, from the environment it was given.
    const bool ownLanguage = qEnvironmentVariableIsSet("QUIBLO_TEST_OWN_LANGUAGE");
    if (!ownLanguage) qputenv("LANGUAGE", "ja");
    QApplication app(argc, argv);
    if (!ownLanguage) quiblo::useLanguage(app, quiblo::Language::Japanese);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

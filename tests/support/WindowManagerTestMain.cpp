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

int main(int argc, char** argv) {
    quiblo::test::WindowManagerSession session(QSize(1024, 768));
    if (!session.running()) {
        std::fprintf(stderr, "no X session with a window manager: %s\n", session.failure().c_str());
        return 1;
    }
    quiblo::test::session = &session;
    qputenv("DISPLAY", QByteArray::fromStdString(session.name()));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    quiblo::loadJapaneseTranslation(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

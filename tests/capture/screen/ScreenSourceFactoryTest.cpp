// Which screen source the program gets: X11 where its windows live on an X display, none
// offscreen or without a display.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdlib>
#include <optional>

#include "ScreenPictures.h"
#include "XvfbDisplay.h"
#include "capture/ScreenSource.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

const QSize kScreen(320, 240);

// DISPLAY set (or unset, for nullptr) for the life of the object.
class DisplayVariable {
public:
    explicit DisplayVariable(const char* value) {
        if (const char* old = std::getenv("DISPLAY")) saved_ = old;
        if (value) {
            setenv("DISPLAY", value, 1);
        } else {
            unsetenv("DISPLAY");
        }
    }
    ~DisplayVariable() {
        if (saved_) {
            setenv("DISPLAY", saved_->c_str(), 1);
        } else {
            unsetenv("DISPLAY");
        }
    }

private:
    std::optional<std::string> saved_;
};

class ScreenSourceFactory : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(display.running()) << display.failure();
        display.showOnRoot(screen);
    }

    XvfbDisplay display{kScreen, 24};
    QImage screen = pattern(kScreen, 6);
};

TEST_F(ScreenSourceFactory, BeforeAnyApplicationTheDisplayDecides) {
    {
        DisplayVariable none(nullptr);
        EXPECT_FALSE(makeScreenSource()->available());
    }
    DisplayVariable ours(display.name().c_str());
    const auto source = makeScreenSource();
    ASSERT_TRUE(source->available());
    EXPECT_EQ(differenceOf(source->grabScreen(), screen), "");
}

TEST_F(ScreenSourceFactory, OffscreenApplicationHasNoScreenEvenBesideADisplay) {
    DisplayVariable ours(display.name().c_str());
    int argc = 3;
    char* argv[] = {const_cast<char*>("screen_tests"), const_cast<char*>("-platform"),
                    const_cast<char*>("offscreen"), nullptr};
    QGuiApplication app(argc, argv);
    const auto source = makeScreenSource();
    EXPECT_FALSE(source->available());
    EXPECT_TRUE(source->grabScreen().isNull());
    EXPECT_TRUE(source->grabActiveWindow().isNull());
}

TEST_F(ScreenSourceFactory, ApplicationOnAnXDisplayGrabsThatScreen) {
    DisplayVariable ours(display.name().c_str());
    int argc = 3;
    char* argv[] = {const_cast<char*>("screen_tests"), const_cast<char*>("-platform"),
                    const_cast<char*>("xcb"), nullptr};
    QGuiApplication app(argc, argv);
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    const auto source = makeScreenSource();
    ASSERT_TRUE(source->available());
    EXPECT_EQ(differenceOf(source->grabScreen(), screen), "");
}

}  // namespace

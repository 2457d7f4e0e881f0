#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <stdexcept>
#include <thread>

#include "platform/Wait.h"

using namespace quiblo;

namespace {

// Counts the ticks of a timer that runs while the caller waits.
struct Ticker {
    Ticker() {
        QObject::connect(&timer, &QTimer::timeout, [this] { ++ticks; });
        timer.start(10);
    }
    QTimer timer;
    int ticks = 0;
};

}  // namespace

TEST(RunWaiting, ReturnsTheResultAndKeepsTimersTicking) {
    Ticker ticker;
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id worker;
    const int result = runWaiting([&] {
        worker = std::this_thread::get_id();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return 42;
    });
    EXPECT_EQ(result, 42);
    EXPECT_NE(worker, caller);
    EXPECT_GE(ticker.ticks, 3) << "the waiting thread did not run its event loop";
}

TEST(RunWaiting, RethrowsTheWorkersException) {
    EXPECT_THROW(runWaiting([]() -> int { throw std::runtime_error("boom"); }), std::runtime_error);
    bool ran = false;
    runWaiting([&] { ran = true; });  // quick work that ends before the loop starts
    EXPECT_TRUE(ran);
}

TEST(PauseFor, WaitsAboutTheTimeWhileTimersTick) {
    Ticker ticker;
    QElapsedTimer clock;
    clock.start();
    pauseFor(150);
    EXPECT_GE(clock.elapsed(), 149);
    EXPECT_GE(ticker.ticks, 3);
}

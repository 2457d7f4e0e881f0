// Waiting without freezing. The program's procedures are written linearly (request, pause,
// read the reply); the blocking part runs on a worker thread while the calling window waits in a
// local event loop that repaints and runs timers but takes no user input.
#pragma once

#include <QEventLoop>
#include <QObject>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace quiblo {

// Runs work on a worker thread and returns when it has finished; exceptions are re-thrown here.
void runWaitingVoid(const std::function<void()>& work);

template <class Work>
auto runWaiting(Work&& work) -> std::invoke_result_t<Work> {
    using Result = std::invoke_result_t<Work>;
    if constexpr (std::is_void_v<Result>) {
        runWaitingVoid(std::forward<Work>(work));
    } else {
        std::optional<Result> result;
        runWaitingVoid([&] { result.emplace(work()); });
        return std::move(*result);
    }
}

// A fixed pause that keeps windows painted and timers ticking.
void pauseFor(int milliseconds);

// Handles the window messages that are pending now (painting, timers), without user input.
void processPendingEvents();

// Waits in a local event loop (no user input) until sender emits signal; done() is checked first
// so that a signal that came before the wait is not missed.
template <class Sender, class Signal, class Done>
void waitForSignal(Sender* sender, Signal signal, Done done) {
    if (done()) return;
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, [&loop] { loop.quit(); });
    if (done()) return;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace quiblo

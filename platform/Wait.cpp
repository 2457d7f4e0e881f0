#include "Wait.h"

#include <QCoreApplication>
#include <QTimer>
#include <thread>

namespace quiblo {

void runWaitingVoid(const std::function<void()>& work) {
    if (!QCoreApplication::instance()) {
        work();  // no event loop to keep alive (command-line use)
        return;
    }
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued to the waiting thread: delivered once the loop runs, even if work was quick.
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (failure) std::rethrow_exception(failure);
}

void pauseFor(int milliseconds) {
    if (milliseconds <= 0) return;
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void processPendingEvents() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace quiblo

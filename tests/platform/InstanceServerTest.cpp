// Requests from a later start reach the running copy over the socket beside the lock.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <future>

#include "platform/SingleInstance.h"
#include "support/TestSupport.h"

using namespace quiblo;

namespace {

// Sends from another thread, as another process would, while this one answers.
HandOver send(const QString& socketPath, const QString& request) {
    auto sent = std::async(std::launch::async,
                           [=] { return handToRunningCopy(socketPath, request, 5000); });
    while (sent.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return sent.get();
}

}  // namespace

TEST(InstanceServer, RequestsAreHandedOverAndAnswered) {
    test::TempFolder folder;
    const QString path = InstanceLock::socketPathFor(folder.file(QStringLiteral("quiblo.lock")));
    EXPECT_EQ(path, folder.file(QStringLiteral("quiblo.socket")));
    folder.write(QStringLiteral("quiblo.socket"), "left by a copy that died");
    InstanceServer server(path);
    ASSERT_TRUE(server.listen());
    QStringList received;
    bool take = true;
    server.onRequest = [&](const QString& request) {
        received << request;
        return take;
    };
    EXPECT_EQ(send(path, QStringLiteral("capture full")), HandOver::Taken);
    take = false;
    EXPECT_EQ(send(path, QStringLiteral("capture region")), HandOver::Busy);
    EXPECT_EQ(received,
              (QStringList{QStringLiteral("capture full"), QStringLiteral("capture region")}));
}

TEST(InstanceServer, NobodyListeningMeansNoCopy) {
    test::TempFolder folder;
    EXPECT_EQ(handToRunningCopy(folder.file(QStringLiteral("quiblo.socket")),
                                QStringLiteral("capture full"), 2000),
              HandOver::NoCopy);
}

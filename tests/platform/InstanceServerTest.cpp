// Requests from a later start reach the running copy over the socket beside the lock.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <vector>

#include "platform/SingleInstance.h"
#include "support/TestSupport.h"
#include "support/UserFaults.h"

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

// Connections that never send their line are closed after a moment: a thousand of them would
// otherwise use up the listener's descriptors for good.
TEST(InstanceServer, IdleConnectionsAreClosed) {
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("quiblo.socket"));
    InstanceServer server(path);
    ASSERT_TRUE(server.listen());
    std::vector<int> idle;
    for (int i = 0; i < 20; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, QFile::encodeName(path).constData(),
                     sizeof(address.sun_path) - 1);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        idle.push_back(fd);
    }
    auto closedByServer = [](int fd) {
        char byte;
        return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
    };
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && !std::all_of(idle.begin(), idle.end(), closedByServer))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    for (const int fd : idle) {
        EXPECT_TRUE(closedByServer(fd)) << "an idle connection stays open";
        ::close(fd);
    }
    EXPECT_EQ(send(path, QStringLiteral("capture full")), HandOver::Busy)
        << "the listener works on";
}

// A socket at the place of the running copy's that is not the user's own is not used, however
// it answers.
TEST(InstanceServer, AnotherUsersSocketIsNoCopy) {
    if (!test::runningAsRoot()) GTEST_SKIP() << "needs root to give the socket to another user";
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("quiblo.socket"));
    InstanceServer squatter(path);
    ASSERT_TRUE(squatter.listen());
    squatter.onRequest = [](const QString&) { return true; };
    ASSERT_EQ(send(path, QStringLiteral("capture full")), HandOver::Taken);
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    EXPECT_EQ(send(path, QStringLiteral("capture full")), HandOver::NoCopy);
}

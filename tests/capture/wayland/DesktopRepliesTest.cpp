// What the desktop's compositors and portals answer, read by plain functions that need no
// session: the portal's picture cut to an output, the sway tree's focused frame, KWin's raw
// pixels, and the portal's file, read and removed only when it is the user's own picture.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "capture/KWinScreenshot.h"
#include "capture/PortalScreenSource.h"
#include "capture/PortalScreenshot.h"
#include "capture/SwayIpc.h"
#include "support/TestSupport.h"
#include "support/UserFaults.h"

using namespace quiblo;

namespace {

TEST(PortalScreenSource, ScaledOutputsAreCutInPicturePixels) {
    // A desktop of two outputs, 1280 wide at 0 and 640 at 1280, read at scale 2.
    const QRect desktop(0, 0, 1920, 720);
    EXPECT_EQ(PortalScreenSource::pictureRect(QRect(0, 0, 1280, 720), desktop, QSize(3840, 1440)),
              QRect(0, 0, 2560, 1440));
    EXPECT_EQ(PortalScreenSource::pictureRect(QRect(1300, 10, 100, 50), desktop, QSize(3840, 1440)),
              QRect(2600, 20, 200, 100));
    // A desktop that starts left of 0, and a window that reaches past its edge.
    EXPECT_EQ(PortalScreenSource::pictureRect(QRect(-100, 0, 300, 100), QRect(-640, 0, 1920, 720),
                                              QSize(1920, 720)),
              QRect(540, 0, 300, 100));
    EXPECT_EQ(
        PortalScreenSource::pictureRect(QRect(1200, 600, 200, 200), desktop, QSize(1920, 720)),
        QRect(1200, 600, 200, 120));
}

// A sway tree: the focus order picks the window, the program's own window is passed over for the
// one focused before it, and the title bar above the content belongs to the frame.
TEST(SwayTree, FocusedFrameIncludesItsTitleBarAndSkipsTheProgramsOwnWindow) {
    const QJsonObject tree = QJsonDocument::fromJson(R"({
        "type": "root", "focus": [2], "nodes": [{
            "id": 2, "type": "workspace", "focus": [11, 10], "nodes": [
                {"id": 10, "type": "con", "pid": 500, "visible": true,
                 "rect": {"x": 700, "y": 40, "width": 300, "height": 200},
                 "deco_rect": {"x": 0, "y": 0, "width": 300, "height": 24}},
                {"id": 11, "type": "con", "pid": 4242, "visible": true,
                 "rect": {"x": 10, "y": 30, "width": 640, "height": 480},
                 "deco_rect": {"x": 0, "y": 0, "width": 640, "height": 24}}]}]})")
                                 .object();
    EXPECT_EQ(focusedWindowFrame(tree, 1), QRect(10, 6, 640, 504)) << "the title bar is above";
    EXPECT_EQ(focusedWindowFrame(tree, 4242), QRect(700, 16, 300, 224));
}

TEST(KWinScreenSource, ABrokenAnswerIsNoPicture) {
    const QVariantMap fits{{QStringLiteral("type"), QStringLiteral("raw")},
                           {QStringLiteral("width"), 2u},
                           {QStringLiteral("height"), 2u},
                           {QStringLiteral("stride"), 12u},
                           {QStringLiteral("format"), uint(QImage::Format_ARGB32_Premultiplied)}};
    QByteArray bytes(24, '\0');
    bytes[12] = char(0x30);  // blue of the first pixel of the second row
    bytes[15] = char(0xff);
    const QImage picture = kwinPicture(bytes, fits);
    ASSERT_EQ(picture.size(), QSize(2, 2));
    EXPECT_EQ(picture.format(), QImage::Format_RGB32);
    EXPECT_EQ(picture.pixel(0, 1), qRgb(0, 0, 0x30));

    EXPECT_TRUE(kwinPicture(bytes.left(23), fits).isNull()) << "too few bytes";
    QVariantMap narrow = fits;
    narrow[QStringLiteral("stride")] = 7u;
    EXPECT_TRUE(kwinPicture(bytes, narrow).isNull()) << "rows shorter than their pixels";
    QVariantMap unknown = fits;
    unknown[QStringLiteral("format")] = 999u;
    EXPECT_TRUE(kwinPicture(bytes, unknown).isNull());
    QVariantMap png = fits;
    png[QStringLiteral("type")] = QStringLiteral("png");
    EXPECT_TRUE(kwinPicture(bytes, png).isNull());
}

// A stride so large that stride times height wraps around to nothing: refused, never read.
TEST(KWinScreenSource, AStrideThatWrapsIsNoPicture) {
    const QVariantMap huge{{QStringLiteral("type"), QStringLiteral("raw")},
                           {QStringLiteral("width"), 2u},
                           {QStringLiteral("height"), 4u},
                           {QStringLiteral("stride"), qulonglong(1) << 62},
                           {QStringLiteral("format"), uint(QImage::Format_RGB32)}};
    EXPECT_TRUE(kwinPicture(QByteArray(64, '\0'), huge).isNull());
}

// A desktop that answers its IPC one byte at a time: the whole exchange gives up after its two
// seconds, however long the answer would take.
TEST(SwayTree, AnAnswerTrickledByteByByteIsGivenUp) {
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("sway-ipc.sock"));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(),
                 sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    std::atomic<bool> done{false};
    std::thread desktop([&] {
        const int peer = ::accept(listener, nullptr, nullptr);
        char request[14];
        if (peer < 0 || ::recv(peer, request, sizeof request, MSG_WAITALL) != sizeof request)
            return;
        // A header that promises a 10,000-byte tree, then a byte every 50 ms: over 8 minutes.
        QByteArray answer("i3-ipc");
        const quint32 fields[2] = {10000, 4};
        answer.append(reinterpret_cast<const char*>(fields), sizeof fields);
        answer += QByteArray(10000, ' ');
        for (const char byte : answer) {
            if (done || ::send(peer, &byte, 1, MSG_NOSIGNAL) != 1) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::close(peer);
    });
    EXPECT_FALSE(SwayIpc(path).tree().has_value());
    done = true;
    desktop.join();
    ::close(listener);
}

// The portal's answer names a file: read and removed when it is the user's own picture; left as
// it is, and no picture, when it is anything else.
class PortalFile : public ::testing::Test {
protected:
    QImage take(const QString& path) {
        return takePortalFile({{QStringLiteral("uri"), QUrl::fromLocalFile(path).toString()}});
    }
    test::TempFolder folder;
};

TEST_F(PortalFile, AnOwnPictureIsReadAndRemoved) {
    const QString path = folder.file(QStringLiteral("Screenshot.png"));
    QImage shot(40, 30, QImage::Format_RGB32);
    shot.fill(qRgb(0x33, 0x66, 0x99));
    ASSERT_TRUE(shot.save(path));
    EXPECT_EQ(take(path), shot);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(takePortalFile({}).isNull()) << "an answer without a file";
}

TEST_F(PortalFile, AnythingElseIsLeftAlone) {
    // The history file, named by a hostile portal.
    const QString history = folder.file(QStringLiteral("Quiblo.dat"));
    folder.write(QStringLiteral("Quiblo.dat"), "123456789012345678,20261207210509\r\n");
    EXPECT_TRUE(take(history).isNull());
    EXPECT_TRUE(QFile::exists(history));
    // A pipe nobody writes to: no wait.
    const QString fifo = folder.file(QStringLiteral("fifo.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(take(fifo).isNull());
    EXPECT_TRUE(QFileInfo::exists(fifo));
    // A link to a picture, and a folder.
    const QString picture = folder.file(QStringLiteral("real.png"));
    QImage shot(4, 4, QImage::Format_RGB32);
    shot.fill(Qt::red);
    ASSERT_TRUE(shot.save(picture));
    const QString link = folder.file(QStringLiteral("link.png"));
    ASSERT_TRUE(QFile::link(picture, link));
    EXPECT_TRUE(take(link).isNull());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(take(folder.path()).isNull());
    // Another user's picture.
    if (test::runningAsRoot()) {
        ASSERT_EQ(::chown(QFile::encodeName(picture).constData(), 65534, 65534), 0);
        EXPECT_TRUE(take(picture).isNull());
        EXPECT_TRUE(QFile::exists(picture));
    }
}

}  // namespace

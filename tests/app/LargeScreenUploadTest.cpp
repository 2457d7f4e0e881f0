// A full-screen capture of a desktop whose photographic wallpaper no lossless PNG brings under
// the service's limit, by keys under a real window manager, to the reference service: the
// picture is offered in 256 colours (halved on a 4K screen), and the user's answer decides what
// is sent. The screen's size comes from QUIBLO_TEST_SCREEN.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "MainWinOnDesktop.h"
#include "confirm/PreviewWin.h"
#include "history/HistoryFile.h"
#include "service/Codes.h"
#include "support/ReferenceService.h"
#include "support/TestSupport.h"

using namespace quiblo;

namespace {

// A landscape photograph: a sky that brightens towards the horizon, hills of several sizes, and a
// camera's grain.
QImage photograph(QSize size) {
    QImage photo(size, QImage::Format_RGB32);
    quint32 seed = 2026;
    auto grain = [&seed] {
        seed = seed * 1664525 + 1013904223;
        return int((seed >> 16) % 3) - 1;
    };
    const double w = size.width(), h = size.height();
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const double u = x / w, v = y / h;
            const double ridge = 0.55 + 0.08 * std::sin(u * 7.0) + 0.04 * std::sin(u * 23.0 + 1.0) +
                                 0.015 * std::sin(u * 71.0 + 2.0);
            int r, g, b;
            if (v < ridge) {  // sky
                r = int(90 + 110 * v);
                g = int(140 + 80 * v);
                b = int(230 - 20 * v);
            } else {  // hills, lit from the left, with fields
                const double light = 0.6 + 0.4 * std::cos(u * 5.0 + v * 9.0);
                const double field = 0.5 + 0.5 * std::sin(u * 40.0 + std::sin(v * 30.0) * 3.0);
                r = int((60 + 50 * field) * light);
                g = int((110 + 60 * field) * light);
                b = int((40 + 20 * field) * light);
            }
            const int noise = grain();
            row[x] = qRgb(std::clamp(r + noise, 0, 255), std::clamp(g + noise, 0, 255),
                          std::clamp(b + noise, 0, 255));
        }
    }
    return photo;
}

double psnr(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double squares = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int d[3] = {qRed(p[col]) - qRed(q[col]), qGreen(p[col]) - qGreen(q[col]),
                              qBlue(p[col]) - qBlue(q[col])};
            squares += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    }
    const double mse = squares / (3.0 * x.width() * x.height());
    return 10 * std::log10(255.0 * 255.0 / mse);
}

class LargeScreenUploadTest : public test::MainWinOnDesktop {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.started()) << service.startError().toStdString();
        screenSize = QGuiApplication::primaryScreen()->size();
        session().display().showOnRoot(photograph(screenSize));
        // An application over the wallpaper, as on most desktops.
        session().showOtherProgram(
            QRect(0, 0, screenSize.width() * 2 / 5, screenSize.height() * 4 / 5), 0xf0f0f0);
        ASSERT_NO_FATAL_FAILURE(startMainWin());
    }
    bool fourK() const { return screenSize.width() >= 3840; }

    // F5, a click on the local copy's box and Enter on the confirmation, then the offer answered;
    // returns when the chain has ended.
    void captureAndAnswer(MsgAnswer offer) {
        desktop.savePaths << localCopy;
        desktop.answers << offer;
        test::whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* preview) {
            if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == preview; }, 5000))
                ADD_FAILURE() << "the confirmation window did not get the keyboard";
            QWidget* box = static_cast<PreviewWin*>(preview)->IsSaveLocalDisk;
            const QPoint at = box->mapToGlobal(QPoint(8, box->height() / 2));
            session().xdotool({QStringLiteral("mousemove"), QString::number(at.x()),
                               QString::number(at.y()), QStringLiteral("click"),
                               QStringLiteral("1")});
            if (!QTest::qWaitFor([&] { return static_cast<QCheckBox*>(box)->isChecked(); }, 5000))
                ADD_FAILURE() << "the click did not reach the local copy's box";
            session().xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        });
        key("F5");
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return desktop.shownBoxes.size() >= 2 || !win->URL->toPlainText().isEmpty(); },
            60000))
            << "the chain did not end: " << desktop.shownBoxes.value(0).text.toStdString();
    }
    QStringList storedPictures() const {
        return QDir(service.pictureFile(QString()).section(QLatin1Char('/'), 0, -2))
            .entryList({QStringLiteral("*.png")}, QDir::Files);
    }

    test::ReferenceService service;
    test::ScopedEnv host{"QUIBLO_SERVICE_HOST", service.host().toUtf8()};
    test::ScopedEnv ftp{"QUIBLO_FTP_PORT", QByteArray::number(service.ftpPort())};
    QSize screenSize;
    QString localCopy = folder.file(QStringLiteral("local.png"));
};

}  // namespace

TEST_F(LargeScreenUploadTest, OfferDeclinedSendsNothing) {
    ASSERT_NO_FATAL_FAILURE(captureAndAnswer(MsgAnswer::No));
    ASSERT_EQ(desktop.shownBoxes.size(), 2) << desktop.shownBoxes.value(0).text.toStdString();
    const QRegularExpression offer(
        QStringLiteral(
            "^画像のファイルサイズが大きすぎるため、このままでは転送できません。\\r\\n") +
        (fourK() ? QStringLiteral("縦横を半分にし、色数を減らした画像（1920x1080、256色、")
                 : QStringLiteral("色数を減らした画像（256色、")) +
        QStringLiteral("([0-9]{3},[0-9]{3})バイト）を転送しますか？$"));
    const QRegularExpressionMatch match = offer.match(desktop.shownBoxes[0].text);
    ASSERT_TRUE(match.hasMatch()) << desktop.shownBoxes[0].text.toStdString();
    EXPECT_LE(match.captured(1).remove(QLatin1Char(',')).toInt(), 500000);
    EXPECT_EQ(desktop.shownBoxes[1].text,
              QStringLiteral("ファイルサイズが大きすぎるため転送できません。\r\n"
                             "アップロードする領域を小さくしてください。"));
    EXPECT_TRUE(state->UploadFailed);
    EXPECT_TRUE(storedPictures().isEmpty()) << "the service got a picture";
    EXPECT_EQ(QImage(localCopy).size(), screenSize) << "the local copy is the whole capture";
}

TEST_F(LargeScreenUploadTest, OfferAcceptedSendsTheReducedPicture) {
    ASSERT_NO_FATAL_FAILURE(captureAndAnswer(MsgAnswer::Yes));
    ASSERT_FALSE(state->UploadFailed) << desktop.shownBoxes.value(1).text.toStdString();
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    const HistoryEntries history = LoadHistoryEntries(folder.path());
    ASSERT_EQ(history.entries.size(), 1);
    const QString code = historyRecordOf(history.entries[0]).pngcode;
    EXPECT_TRUE(win->URL->toPlainText().endsWith(BaseConv(code, 10, 64)));
    ASSERT_LE(QFileInfo(service.pictureFile(code)).size(), 500000);
    const QImage stored(service.pictureFile(code));
    const QImage local(localCopy);
    ASSERT_EQ(local.size(), screenSize);
    ASSERT_GT(QFileInfo(localCopy).size(), 500000) << "the local copy is lossless";
    if (fourK()) {
        EXPECT_EQ(stored.size(), QSize(1920, 1080));
    } else {
        ASSERT_EQ(stored.size(), screenSize);
        EXPECT_GE(psnr(stored, local), 35.0);
    }
}

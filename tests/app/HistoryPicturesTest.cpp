// The history window's pictures as a person meets them under openbox, in the desktop's language:
// three captures of differently coloured screens go to the reference service by keys, F8 opens
// the history, and clicks on the entries show each one's picture; a picture removed by the
// service's admin is greyed and leaves the history by Delete alone; an entry without a picture
// here gets the service's; a service that never answers changes nothing.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>
#include <functional>

#include "MainWinOnDesktop.h"
#include "history/DeleteWin.h"
#include "history/HistoryFile.h"
#include "history/Thumbnails.h"
#include "platform/Translation.h"
#include "settings/LanguageSetting.h"
#include "support/ReferenceService.h"
#include "support/TestSupport.h"
#include "support/TextFitCheck.h"

using namespace quiblo;

namespace {

const unsigned int kColours[] = {0xd03030, 0x30a040, 0x3050d0};

bool japaneseDesktop() {
    return qEnvironmentVariable("LANG").startsWith(QLatin1String("ja"));
}

// Near enough to the colour painted: the picture went through shrinking and a PNG.
bool looksLike(QRgb seen, unsigned int colour) {
    const QColor wanted(QRgb(0xff000000 | colour));
    return std::abs(qRed(seen) - wanted.red()) < 24 &&
           std::abs(qGreen(seen) - wanted.green()) < 24 &&
           std::abs(qBlue(seen) - wanted.blue()) < 24;
}

QRgb middleOf(QWidget* widget) {
    const QImage shown = widget->grab().toImage();
    return shown.pixel(shown.width() / 2, shown.height() / 2);
}

QRgb middleOfIcon(const QListWidgetItem* item) {
    const QImage icon = item->icon().pixmap(kListIconSize).toImage();
    return icon.pixel(icon.width() / 2, icon.height() / 2);
}

class HistoryPicturesTest : public test::MainWinOnDesktop {
protected:
    void SetUp() override {
        // As the program starts: the language of its folder's setting (none), else the desktop's.
        useLanguage(*qApp, chosenLanguage(folder.path()));
        ASSERT_TRUE(service->started()) << service->startError().toStdString();
        ASSERT_NO_FATAL_FAILURE(startMainWin());
    }
    void TearDown() override { useLanguage(*qApp, Language::Japanese); }

    // A full-screen capture of a screen painted `colour`, confirmed and uploaded, all by keys.
    void uploadScreenOf(unsigned int colour) {
        session().showOtherProgram(QRect(0, 0, 1024, 768), colour);
        session().xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                           QString::number(win->winId())});
        test::whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* preview) {
            EXPECT_TRUE(hasTheKeyboard(preview));
            key("Return");
            QTimer::singleShot(10000, preview, &QWidget::close);  // the test fails, never hangs
        });
        const QString before = win->URL->toPlainText();
        key("F5");
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return win->URL->toPlainText() != before && !QApplication::activeModalWidget(); },
            30000))
            << "no upload: " << desktop.shownBoxes.value(0).text.toStdString();
        ASSERT_FALSE(state->UploadFailed);
    }

    // Both the window manager and Qt hold the window as the active one.
    bool hasTheKeyboard(QWidget* window) {
        return QTest::qWaitFor(
            [&] {
                return session().activeWindow() == window->winId() &&
                       QApplication::activeWindow() == window;
            },
            5000);
    }

    // Opens the history by F8, runs `use` on it and closes it by Escape.
    void inHistory(const std::function<void(DeleteWin&)>& use) {
        bool used = false;
        test::whenModalShown(QStringLiteral("DeleteWin"), [&](QWidget* shown) {
            auto& history = static_cast<DeleteWin&>(*shown);
            EXPECT_TRUE(hasTheKeyboard(&history));
            use(history);
            used = true;
            key("Escape");
            QTimer::singleShot(5000, shown, &QWidget::close);  // the test fails, never hangs
        });
        key("F8");
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return used && QApplication::activeModalWidget() == nullptr; }, 30000));
    }

    // A click where a person would click: through XTest at the point on the screen.
    void click(QWidget* widget, QPoint local) {
        const QPoint global = widget->mapToGlobal(local);
        session().xdotool({QStringLiteral("mousemove"), QString::number(global.x()),
                           QString::number(global.y()), QStringLiteral("click"),
                           QStringLiteral("1")});
    }
    void clickEntry(DeleteWin& history, int row) {
        QListWidgetItem* item = history.DelList->item(row);
        history.DelList->scrollToItem(item);
        click(history.DelList->viewport(), history.DelList->visualItemRect(item).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return item->isSelected(); }, 3000))
            << "the click at the entry did not choose it";
    }

    QString goneMark() const {
        return japaneseDesktop() ? QStringLiteral(" (削除済み)") : QStringLiteral(" (gone)");
    }
    QStringList codes() const {
        QStringList listed;
        for (const HistoryRecord& record : LoadHistoryEntries(folder.path()).records)
            listed << record.pngcode;
        return listed;
    }

    static void SetUpTestSuite() { service = std::make_unique<test::ReferenceService>(); }
    static void TearDownTestSuite() { service.reset(); }
    static inline std::unique_ptr<test::ReferenceService> service;
};

}  // namespace

// The whole way: three uploads, their pictures; one removed on the service, greyed and deleted
// from the history alone; one picture lost here and fetched again.
TEST_F(HistoryPicturesTest, EachUploadIsShownByItsPictureAndTheGoneOnesAreGreyed) {
    const test::ScopedEnv host("QUIBLO_SERVICE_HOST", service->host().toUtf8());
    const test::ScopedEnv ftp("QUIBLO_FTP_PORT", QByteArray::number(service->ftpPort()));
    for (unsigned int colour : kColours) ASSERT_NO_FATAL_FAILURE(uploadScreenOf(colour));
    const QStringList uploaded = codes();
    ASSERT_EQ(uploaded.size(), 3);
    for (const QString& code : uploaded) {
        const QImage kept(thumbnailPath(folder.path(), code));
        EXPECT_TRUE(kept.width() == kThumbnailSide || kept.height() == kThumbnailSide)
            << code.toStdString() << " " << kept.width() << "x" << kept.height();
    }

    inHistory([&](DeleteWin& history) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return history.picturesFound(); }, 15000));
        ASSERT_EQ(history.DelList->count(), 3);
        for (int row = 0; row < 3; ++row) {
            SCOPED_TRACE(row);
            clickEntry(history, row);
            EXPECT_TRUE(looksLike(middleOf(history.Preview), kColours[row]));
            EXPECT_TRUE(looksLike(middleOfIcon(history.DelList->item(row)), kColours[row]));
            EXPECT_FALSE(history.DelList->item(row)->text().endsWith(goneMark()));
        }
    });

    // The admin removes the second; the third's picture is lost here, as after an earlier version.
    ASSERT_TRUE(service->adminCommand({QStringLiteral("remove"), uploaded[1]}));
    ASSERT_TRUE(QFile::remove(thumbnailPath(folder.path(), uploaded[2])));
    inHistory([&](DeleteWin& history) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return history.picturesFound(); }, 15000));
        QListWidgetItem* gone = history.DelList->item(1);
        EXPECT_TRUE(gone->text().endsWith(goneMark())) << gone->text().toStdString();
        EXPECT_EQ(gone->foreground().color(),
                  history.palette().color(QPalette::Disabled, QPalette::Text));
        for (int row : {0, 2})
            EXPECT_FALSE(history.DelList->item(row)->text().endsWith(goneMark()));
        // A screen reader reads the entry as it is shown, mark and all.
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(history.DelList);
        ASSERT_TRUE(list && list->child(1));
        EXPECT_EQ(list->child(1)->text(QAccessible::Name), gone->text());
        const QRgb grey = middleOfIcon(gone);
        EXPECT_TRUE(qRed(grey) == qGreen(grey) && qGreen(grey) == qBlue(grey)) << std::hex << grey;
        EXPECT_TRUE(QFile::exists(thumbnailPath(folder.path(), uploaded[2])))
            << "the service's picture is kept";
        EXPECT_TRUE(looksLike(middleOfIcon(history.DelList->item(2)), kColours[2]));
        // Every entry shown whole, mark and all, beside its picture; the window's texts fit.
        const int margins =
            2 * (history.DelList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1) +
            history.DelList->iconSize().width();
        for (int row = 0; row < 3; ++row) {
            QListWidgetItem* item = history.DelList->item(row);
            EXPECT_LE(history.DelList->fontMetrics().horizontalAdvance(item->text()) + margins,
                      history.DelList->visualItemRect(item).width())
                << item->text().toStdString();
        }
        const QStringList faults = test::textFaults(&history);
        EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();

        const int requests = service->requests();
        clickEntry(history, 1);
        click(history.DelCmd, history.DelCmd->rect().center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return history.DelList->count() == 2; }, 3000));
        EXPECT_EQ(service->requests(), requests) << "the service was asked";
    });
    EXPECT_EQ(codes(), (QStringList{uploaded[0], uploaded[2]}));
    EXPECT_FALSE(QFile::exists(thumbnailPath(folder.path(), uploaded[1])));
    EXPECT_TRUE(desktop.shownBoxes.isEmpty()) << desktop.shownBoxes.value(0).text.toStdString();
}

// A service that takes the connection and never answers: the window opens and is used at once,
// and nothing in the list changes or is said.
TEST_F(HistoryPicturesTest, ServiceThatNeverAnswersChangesNothing) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const test::ScopedEnv host("QUIBLO_SERVICE_HOST",
                               "127.0.0.1:" + QByteArray::number(silent.serverPort()));
    AppendHistoryRecord(folder.path(), QStringLiteral("123456789012345678"),
                        QStringLiteral("20261210120000"));
    inHistory([&](DeleteWin& history) {
        ASSERT_EQ(history.DelList->count(), 1);
        clickEntry(history, 0);
        EXPECT_TRUE(history.DelCmd->isEnabled());
        EXPECT_FALSE(history.picturesFound()) << "the service answered";
        EXPECT_FALSE(history.DelList->item(0)->text().endsWith(goneMark()));
    });
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
}

// The about box: the version it shows, the two addresses opened only after the question, and
// closing it with Enter and Esc.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/MainWin.h"
#include "app/VersionWin.h"
#include "support/ScriptedDesktop.h"

using namespace quiblo;

namespace {

class VersionWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        win = std::make_unique<VersionWin>(desktop);
        win->show();
    }
    void clickLink(int index) { QTest::mouseClick(win->URL[index], Qt::LeftButton); }

    ScriptedDesktop desktop;
    std::unique_ptr<VersionWin> win;
};

}  // namespace

TEST_F(VersionWinTest, ShowsTheProgramsVersionAndBothAddresses) {
    EXPECT_EQ(win->windowTitle(), QStringLiteral("クイブロ - バージョン情報"));
    EXPECT_EQ(win->size(), QSize(498, 292));
    EXPECT_FALSE(win->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(win->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(win->Versions->text(), QStringLiteral("Version: 1.3"));
    EXPECT_TRUE(mainWindowTitle().endsWith(QStringLiteral("v1.3"))) << "the same version";
    EXPECT_TRUE(win->Note->text().startsWith(
        QStringLiteral("簡単画面キャプチャー&アップロードソフト 「クイブロ」\n\n\n")));
    EXPECT_EQ(win->URL[0]->text(), QStringLiteral(QUIBLO_SITE_URL));
    EXPECT_EQ(win->URL[1]->text(), QStringLiteral(QUIBLO_DEVELOPER_URL));
    EXPECT_EQ(win->URLDescription->text(), QStringLiteral("開発元サイト:"));
    EXPECT_EQ(win->URL[0]->pos(), QPoint(48, 156));
    EXPECT_EQ(win->URL[1]->pos(), QPoint(128, 224));
    for (QLabel* link : win->URL) {
        EXPECT_GE(link->width(), link->sizeHint().width()) << "the whole address is seen";
        EXPECT_TRUE(link->font().underline());
    }
    EXPECT_EQ(win->CloseWin->text(), QStringLiteral("&OK"));
    EXPECT_EQ(win->CloseWin->geometry(), QRect(206, 256, 85, 25));
}

TEST_F(VersionWinTest, ChoosingNoOpensNothingAndKeepsTheWindow) {
    desktop.answers << MsgAnswer::No;
    clickLink(0);
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    const MessageBoxRequest& box = desktop.shownBoxes[0];
    EXPECT_EQ(box.title, QStringLiteral("質問"));
    EXPECT_EQ(box.text, QStringLiteral("サイトにアクセスしますか？"));
    EXPECT_EQ(box.icon, MsgIcon::Question);
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_TRUE(desktop.openedUrls.isEmpty());
    EXPECT_TRUE(win->isVisible());
}

TEST_F(VersionWinTest, ChoosingYesOpensExactlyTheAddressShown) {
    desktop.answers << MsgAnswer::Yes << MsgAnswer::Yes;
    clickLink(1);
    clickLink(0);
    EXPECT_EQ(desktop.shownBoxes.size(), 2);
    EXPECT_EQ(desktop.openedUrls, QList<QString>({win->URL[1]->text(), win->URL[0]->text()}));
    EXPECT_TRUE(win->isVisible());
}

TEST_F(VersionWinTest, OtherPartsOfTheWindowDoNotAsk) {
    QTest::mouseClick(win->Note, Qt::LeftButton);
    QTest::mouseClick(win->URLDescription, Qt::LeftButton);
    QTest::mouseClick(win->URL[0], Qt::RightButton);
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
}

TEST_F(VersionWinTest, EnterAndEscBothClose) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        win = std::make_unique<VersionWin>(desktop);
        win->show();
        QTest::keyClick(win.get(), key);
        EXPECT_FALSE(win->isVisible()) << key;
        EXPECT_EQ(win->result(), QDialog::Accepted) << key;
    }
}

// The usage check from the main window's menu, against the reference service.
#include <gtest/gtest.h>

#include <QAction>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "service/SimpleHttp.h"
#include "support/ReferenceService.h"
#include "support/ScriptedDesktop.h"

using namespace quiblo;

namespace {

class UsageCheckCommandTest : public test::ServiceSuite {
protected:
    void SetUp() override {
        ServiceSuite::SetUp();
        if (HasFatalFailure()) return;
        service->control(R"({"action":"reset","data":true})");
        state = std::make_unique<AppState>(
            AppSeams{&desktop, test::buildProgramFolder(), folder.file(QStringLiteral("lock"))});
        win = std::make_unique<MainWin>(*state);
        ASSERT_TRUE(win->Form_Load());
        win->show();
    }
    void check(const QString& host) {
        test::ScopedEnv env("QUIBLO_SERVICE_HOST", host.toUtf8());
        win->CheckUploadCountCmd->trigger();
    }

    test::TempFolder folder;
    ScriptedDesktop desktop;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWin> win;
};

}  // namespace

TEST_F(UsageCheckCommandTest, FreshUserSeesAllUploadsLeft) {
    check(service->host());
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].title, QStringLiteral("情報"));
    EXPECT_EQ(desktop.shownBoxes[0].icon, MsgIcon::Information);
    EXPECT_TRUE(desktop.shownBoxes[0].text.endsWith(QStringLiteral("あと10回利用可能です。")));
    EXPECT_TRUE(win->isVisible());
}

TEST_F(UsageCheckCommandTest, RefusalShowsTheServiceMessageAndEndsTheProgram) {
    service->control(
        R"({"action":"script","path":"/usercheck.cgi","count":1,"body":"error|X|1|1|1|もう使えません"})");
    check(service->host());
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].text, QStringLiteral("もう使えません"));
    EXPECT_EQ(desktop.shownBoxes[0].icon, MsgIcon::Critical);
    EXPECT_FALSE(win->isVisible());
}

TEST_F(UsageCheckCommandTest, SuccessAloneEndsSilently) {
    service->control(R"({"action":"script","path":"/usercheck.cgi","count":1,"body":"success"})");
    check(service->host());
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
    EXPECT_TRUE(win->isVisible());
}

TEST_F(UsageCheckCommandTest, DeadServiceShowsTheConnectionFailureAndEndsTheProgram) {
    check(QStringLiteral("127.0.0.1:%1").arg(test::closedLoopbackPort()));
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].text,
              QStringLiteral("サーバーとの接続が失敗したため、\r\n一部処理は行えませんでした。\r\n"
                             "終了します。"));
    EXPECT_FALSE(win->isVisible());
}

TEST_F(UsageCheckCommandTest, StalledServiceEndsInTheConnectionFailure) {
    // The service answers after a minute; the request gives up long before.
    service->control(
        R"({"action":"script","path":"/usercheck.cgi","count":1,"stall":60,"body":"success|x|1|10|24"})");
    check(service->host());
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_TRUE(
        desktop.shownBoxes[0].text.startsWith(QStringLiteral("サーバーとの接続が失敗した")));
    EXPECT_FALSE(win->isVisible());
}

// A service that keeps a reply coming a few bytes a second, or sends far more than any reply:
// the request ends at its deadline or its cap, in the same message as a dead service.
TEST_F(UsageCheckCommandTest, TricklingOrEndlessReplyEndsInTheConnectionFailure) {
    // The program's limits, shortened as the program would pass its own.
    win.reset();
    AppSeams seams{&desktop, test::buildProgramFolder(), folder.file(QStringLiteral("lock"))};
    seams.httpLimits.totalSeconds = 2;
    state = std::make_unique<AppState>(seams);
    win = std::make_unique<MainWin>(*state);
    ASSERT_TRUE(win->Form_Load());
    for (const char* hostile : {R"("trickle":3)", R"("huge_body":3000000,"no_length":true)"}) {
        SCOPED_TRACE(hostile);
        desktop.shownBoxes.clear();
        win->show();
        service->control(
            R"({"action":"script","path":"/usercheck.cgi","body":"success|OK|1|10|24",)" +
            QByteArray(hostile) + "}");
        check(service->host());
        ASSERT_EQ(desktop.shownBoxes.size(), 1);
        EXPECT_EQ(
            desktop.shownBoxes[0].text,
            QStringLiteral("サーバーとの接続が失敗したため、\r\n一部処理は行えませんでした。\r\n"
                           "終了します。"));
        EXPECT_FALSE(win->isVisible());
    }
}

// The service's numbers may come with blanks or tabs before them: both are skipped, so the
// count left is reckoned from the numbers themselves.
TEST_F(UsageCheckCommandTest, BlanksAndTabsBeforeTheNumbersAreSkipped) {
    for (const char* fields : {R"(\t3|\t10)", R"( 3| 10)", R"(\t \t3|10)"}) {
        SCOPED_TRACE(fields);
        desktop.shownBoxes.clear();
        service->control(R"({"action":"script","path":"/usercheck.cgi","body":"success|OK|)" +
                         QByteArray(fields) + R"(|24"})");
        check(service->host());
        ASSERT_EQ(desktop.shownBoxes.size(), 1);
        EXPECT_TRUE(
            desktop.shownBoxes[0].text.endsWith(QStringLiteral("\r\n\r\nあと7回利用可能です。")))
            << desktop.shownBoxes[0].text.toStdString();
    }
}

// HTTP requests against the real reference service on loopback.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <memory>

#include "platform/Translation.h"
#include "service/Replies.h"
#include "service/ServiceUrls.h"
#include "service/SimpleHttp.h"
#include "support/HttpGets.h"
#include "support/ReferenceService.h"

namespace quiblo {
namespace {

using test::GetUrlBytes;
using test::GetUrlText;

using test::ReferenceService;
using test::ScopedEnv;

// Short limits keep the failure cases fast.
constexpr HttpLimits shortLimits{2, 2};

// Bytes of every value, so that any change on the way shows.
QByteArray patternBytes(int length) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i) bytes[i] = char((i * 7 + i / 256) & 0xFF);
    return bytes;
}

class SimpleHttpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A proxy of the environment must not stand between the tests and the loopback service.
        noProxy_ = std::make_unique<ScopedEnv>("no_proxy", "127.0.0.1,localhost");
        service_ = std::make_unique<ReferenceService>();
    }
    static void TearDownTestSuite() {
        service_.reset();
        noProxy_.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(service_->started()) << service_->startError().toStdString();
        ASSERT_FALSE(service_->control(R"({"action":"reset"})").isEmpty());
        host_ = std::make_unique<ScopedEnv>("QUIBLO_SERVICE_HOST", service_->host().toUtf8());
    }
    void TearDown() override { host_.reset(); }

    // The next request to any path answers as the JSON fields of script say.
    static void script(const QByteArray& fields) {
        const QByteArray command = R"({"action":"script",)" + fields + "}";
        ASSERT_FALSE(service_->control(command).isEmpty()) << command.toStdString();
    }
    static void scriptBody(const QByteArray& body) {
        script(R"("body_base64":")" + body.toBase64() + "\"");
    }

    static QString url(const QString& path) { return service_->url(path); }

    static inline std::unique_ptr<ScopedEnv> noProxy_;
    static inline std::unique_ptr<ReferenceService> service_;
    std::unique_ptr<ScopedEnv> host_;
};

TEST_F(SimpleHttpTest, RealUserCheckReplyIsReadAndSplit) {
    const QStringList fields =
        splitReply(GetUrlText(userCheckUrl(serviceSettings(), "001A2B3C4D5E")));
    EXPECT_EQ(fields, (QStringList{"success", "OK", "0", "10", "24"}));
}

TEST_F(SimpleHttpTest, EmptyUrlGivesNothingAndSendsNoRequest) {
    scriptBody("still queued");
    QByteArray buffer("left over");
    EXPECT_EQ(GetUrlBytes("", buffer), 0);
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_EQ(GetUrlText(""), "");
    // Had a request gone out, it would have taken the queued answer.
    EXPECT_EQ(GetUrlText(url("/anything")), "still queued");
}

TEST_F(SimpleHttpTest, EmptyBodyGivesNothing) {
    script(R"("body":"")");
    QByteArray buffer("left over");
    EXPECT_EQ(GetUrlBytes(url("/usercheck.cgi"), buffer), 0);
    EXPECT_TRUE(buffer.isEmpty());
    script(R"("body":"")");
    EXPECT_EQ(GetUrlText(url("/usercheck.cgi")), "");
}

TEST_F(SimpleHttpTest, LargeBodiesComeBackWholeAndExact) {
    for (int length : {1, 1024, 32'766, 32'767, 32'768, 100'000}) {
        SCOPED_TRACE(length);
        const QByteArray body = patternBytes(length);
        scriptBody(body);
        QByteArray buffer;
        EXPECT_EQ(GetUrlBytes(url("/usercheck.cgi"), buffer), length);
        EXPECT_EQ(buffer.size(), length);
        EXPECT_TRUE(buffer == body);
    }
}

TEST_F(SimpleHttpTest, LineEndStaysInLastField) {
    scriptBody("success|OK|3|10|24\r\n");
    const QStringList fields = splitReply(GetUrlText(userCheckUrl(serviceSettings(), "ABC")));
    ASSERT_EQ(fields.size(), 5);
    EXPECT_EQ(fields[0], "success");
    EXPECT_EQ(fields[4], "24\r\n");
}

// Every request names the program's language, and the real service answers in it.
TEST_F(SimpleHttpTest, TheServiceAnswersInTheProgramsLanguage) {
    const QString request = url(QStringLiteral("/delete2.cgi?op=none"));
    EXPECT_EQ(splitReply(GetUrlText(request)).value(2),
              QStringLiteral("リクエストが正しくありません。"));
    useLanguage(*qApp, Language::English);
    const QString english = splitReply(GetUrlText(request)).value(2);
    useLanguage(*qApp, Language::Japanese);
    EXPECT_EQ(english, QStringLiteral("The request is not valid."));
}

TEST_F(SimpleHttpTest, ErrorPagesAreReturnedAsTheirBody) {
    // A real 404 of the service, and a scripted 500.
    const QString notFound = GetUrlText(url("/no-such-page"));
    EXPECT_TRUE(notFound.contains("<html", Qt::CaseInsensitive)) << notFound.toStdString();
    script(R"("status":500)");
    const QString serverError = GetUrlText(userCheckUrl(serviceSettings(), "ABC"));
    EXPECT_TRUE(serverError.contains("<html", Qt::CaseInsensitive)) << serverError.toStdString();
    for (const QString& page : {notFound, serverError}) {
        const QString status = splitReply(page).at(0);
        EXPECT_NE(status, "success");
        EXPECT_NE(status, "error");
    }
}

TEST_F(SimpleHttpTest, ShiftJisReplyDecodesToTheSameCharacters) {
    // Kana and kanji whose second byte is a backslash (ソ, 表) or "|" (ポ), and NEC specials.
    const QString message = QStringLiteral("本日の利用回数が上限に達しました。ソ表ポヂ～①");
    // The service sends "body" as CP932.
    script(R"("body":"error|LIMIT|10|10|24|)" + message.toUtf8() + R"(\r\n")");
    const QStringList fields = splitReply(GetUrlText(userCheckUrl(serviceSettings(), "ABC")));
    ASSERT_EQ(fields.size(), 6);
    EXPECT_EQ(fields[5], message + "\r\n");
}

TEST_F(SimpleHttpTest, StalledServiceEndsWithinTheLimit) {
    script(R"("stall":30)");
    const auto started = std::chrono::steady_clock::now();
    QByteArray buffer;
    EXPECT_EQ(GetUrlBytes(userCheckUrl(serviceSettings(), "ABC"), buffer, shortLimits), 0);
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_LT(std::chrono::steady_clock::now() - started,
              std::chrono::seconds(shortLimits.stallSeconds + 5));
}

TEST_F(SimpleHttpTest, TransferBreakingOffReturnsWhatArrived) {
    script(R"("body":"success|OK|1|10|24","partial":7,"stall":30)");
    EXPECT_EQ(GetUrlText(userCheckUrl(serviceSettings(), "ABC"), shortLimits), "success");
    script(R"("body":"error|LIMIT","partial":5,"drop":"reset")");
    EXPECT_EQ(GetUrlText(userCheckUrl(serviceSettings(), "ABC"), shortLimits), "error");
}

TEST_F(SimpleHttpTest, DroppedConnectionGivesNothing) {
    for (const char* drop : {"true", R"("reset")"}) {
        SCOPED_TRACE(drop);
        script(R"("drop":)" + QByteArray(drop));
        QByteArray buffer;
        EXPECT_EQ(GetUrlBytes(userCheckUrl(serviceSettings(), "ABC"), buffer, shortLimits), 0);
        EXPECT_TRUE(buffer.isEmpty());
    }
}

TEST_F(SimpleHttpTest, EveryRequestHasADeadlineAndAReplyCap) {
    const HttpLimits limits;
    EXPECT_EQ(limits.totalSeconds, 60);
    EXPECT_EQ(limits.maxReplyBytes, 1 << 20);
}

// A reply that keeps coming, a few bytes a second, never trips the stall limit: the overall
// deadline ends it, and what came so far is no reply.
TEST_F(SimpleHttpTest, TricklingReplyEndsAtTheDeadlineAsNothing) {
    script(R"("body":"success|OK|1|10|24","trickle":3)");
    HttpLimits limits = shortLimits;
    limits.totalSeconds = 2;
    const auto started = std::chrono::steady_clock::now();
    QByteArray buffer;
    EXPECT_EQ(GetUrlBytes(userCheckUrl(serviceSettings(), "ABC"), buffer, limits), 0);
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    // A reply that is whole within the deadline is read as ever, however slow.
    script(R"("body":"success|OK|1|10|24","trickle":40)");
    EXPECT_EQ(GetUrlText(userCheckUrl(serviceSettings(), "ABC"), limits), "success|OK|1|10|24");
}

TEST_F(SimpleHttpTest, ReplyLongerThanTheCapIsNothing) {
    const int cap = 1 << 20;
    // Announced by its length, and sent with no length until the connection ends.
    for (const char* noLength : {"false", "true"}) {
        SCOPED_TRACE(noLength);
        script(R"("huge_body":)" + QByteArray::number(cap + 1) + R"(,"no_length":)" + noLength);
        QByteArray buffer("left over");
        EXPECT_EQ(GetUrlBytes(userCheckUrl(serviceSettings(), "ABC"), buffer), 0);
        EXPECT_TRUE(buffer.isEmpty());
    }
    script(R"("body":"success|OK|1|10|24","huge_body":)" + QByteArray::number(cap) +
           R"(,"no_length":true)");
    QByteArray buffer;
    EXPECT_EQ(GetUrlBytes(userCheckUrl(serviceSettings(), "ABC"), buffer), cap)
        << "exactly the cap is a reply";
    EXPECT_TRUE(buffer.startsWith("success|OK|1|10|24 "));

    // A request's own cap, through the one request function.
    HttpLimits small;
    small.maxReplyBytes = 100;
    scriptBody(patternBytes(101));
    EXPECT_TRUE(httpGet({userCheckUrl(serviceSettings(), "ABC"), {}, small}).body.isEmpty());
    scriptBody(patternBytes(100));
    EXPECT_EQ(httpGet({userCheckUrl(serviceSettings(), "ABC"), {}, small}).body.size(), 100);
}

TEST_F(SimpleHttpTest, ClosedPortGivesNothing) {
    const int port = test::closedLoopbackPort();
    ASSERT_GT(port, 0);
    QByteArray buffer("left over");
    const QString address = "http://127.0.0.1:" + QString::number(port) + "/usercheck.cgi";
    EXPECT_EQ(GetUrlBytes(address, buffer, shortLimits), 0);
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_EQ(GetUrlText(address, shortLimits), "");
}

}  // namespace
}  // namespace quiblo

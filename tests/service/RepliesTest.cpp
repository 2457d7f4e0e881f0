// The service's replies as the program reads them: fields, status, completeness and messages.
#include <gtest/gtest.h>

#include "platform/Fault.h"
#include "service/Replies.h"

namespace quiblo {
namespace {

TEST(RepliesTest, RefusedKeyGetsTheProgramsOwnMessageInEveryReply) {
    const QString ours = QStringLiteral("アップロードキーが違うか、設定されていないため");
    EXPECT_TRUE(readUserCheckReply("error|BAD_KEY|0|10|24|whatever").refusal().startsWith(ours));
    EXPECT_TRUE(readResultReply("error|BAD_KEY|whatever").message.startsWith(ours));
    EXPECT_EQ(readUserCheckReply("error|LIMIT_REACHED|10|10|24|上限です").refusal(), "上限です");
    EXPECT_EQ(readUserCheckReply("error|X").refusal(), "");
    EXPECT_EQ(readResultReply("error|NOT_FOUND_FILE|ありません").message, "ありません");
}

// Each reply is complete when every field of its status came; a field read past the end of a
// short reply is the subscript fault, which the upload reports.
TEST(RepliesTest, StatusAndCompletenessOfEachReply) {
    const UserCheckReply allowed = readUserCheckReply("success|OK|3|10|24");
    EXPECT_EQ(allowed.status, ReplyStatus::Success);
    EXPECT_TRUE(allowed.complete());
    EXPECT_EQ(allowed.used() + allowed.allowed() + allowed.hours(), "31024");
    const UserCheckReply shortOne = readUserCheckReply("success|OK|3");
    EXPECT_FALSE(shortOne.complete());
    EXPECT_EQ(shortOne.used(), "3");
    EXPECT_THROW(shortOne.hours(), RuntimeFault);
    EXPECT_FALSE(readUserCheckReply("error|LIMIT|1|10|24").complete());
    EXPECT_TRUE(readUserCheckReply("error|LIMIT|1|10|24|x").complete());
    for (const char* unreadable : {"", "Success|OK|3|10|24", " success|OK|3|10|24", "<html>"}) {
        EXPECT_EQ(readUserCheckReply(unreadable).status, ReplyStatus::Unreadable) << unreadable;
        EXPECT_EQ(readResultReply(unreadable).status, ReplyStatus::Unreadable) << unreadable;
    }

    const ResultReply registered = readResultReply("success");
    EXPECT_EQ(registered.status, ReplyStatus::Success);
    EXPECT_FALSE(registered.complete);
    const ResultReply deleted = readResultReply("success|DELETE_SUCCESS|削除しました|extra");
    EXPECT_TRUE(deleted.complete);
    EXPECT_EQ(deleted.code, "DELETE_SUCCESS");
    EXPECT_EQ(deleted.message, "削除しました");
}

TEST(RepliesTest, CutsAtEveryBarKeepingEmptyFieldsAndLineEnds) {
    EXPECT_EQ(splitReply("success|OK|3|10|24"), (QStringList{"success", "OK", "3", "10", "24"}));
    EXPECT_EQ(splitReply("error||| |x|"), (QStringList{"error", "", "", " ", "x", ""}));
    EXPECT_EQ(splitReply(" success |ok\r\n"), (QStringList{" success ", "ok\r\n"}));
    EXPECT_EQ(splitReply("success"), QStringList{"success"});
}

TEST(RepliesTest, EmptyReplyHasNoStatusWord) {
    const QStringList fields = splitReply("");
    ASSERT_EQ(fields.size(), 1);
    EXPECT_EQ(fields[0], "");
}

}  // namespace
}  // namespace quiblo

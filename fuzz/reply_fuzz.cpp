// Service replies as the program reads them: decoded from CP932, split at every "|" with nothing
// lost, numbers read leniently, the one reader of each reply (the user check's, the
// registration's and deletion's) and the usage check's reading of any reply.
#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Property.h"
#include "platform/CodePage.h"
#include "platform/Fault.h"
#include "service/Replies.h"
#include "service/ReplyNumber.h"

using namespace quiblo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString reply =
        fromCp932(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QStringList fields = splitReply(reply);
    FUZZ_REQUIRE(!fields.isEmpty());
    FUZZ_REQUIRE(fields.join(QLatin1Char('|')) == reply);
    FUZZ_REQUIRE(fields.size() == reply.count(QLatin1Char('|')) + 1);
    for (const QString& field : fields) {
        const double number = readFieldNumber(field);
        FUZZ_REQUIRE(!std::isnan(number));
        if (const auto whole = roundToInt16(number)) FUZZ_REQUIRE(std::abs(*whole - number) <= 0.5);
    }
    const UserCheckReply checked = readUserCheckReply(reply);
    FUZZ_REQUIRE(checked.fields == fields);
    FUZZ_REQUIRE((checked.status == ReplyStatus::Success) ==
                 (fields[0] == QLatin1String("success")));
    FUZZ_REQUIRE((checked.status == ReplyStatus::Error) == (fields[0] == QLatin1String("error")));
    if (checked.complete()) FUZZ_REQUIRE(checked.hours() == fields[4]);
    if (checked.status == ReplyStatus::Error && fields.value(1) != QLatin1String("BAD_KEY"))
        FUZZ_REQUIRE(checked.refusal() == fields.value(5));
    const ResultReply result = readResultReply(reply);
    FUZZ_REQUIRE(result.status == checked.status);
    FUZZ_REQUIRE(result.complete == (fields.size() >= 3));
    FUZZ_REQUIRE(result.code == fields.value(1));
    if (fields.value(1) != QLatin1String("BAD_KEY"))
        FUZZ_REQUIRE(result.message == fields.value(2));
    try {
        const UsageReport report = readUsageReply(reply);
        if (report.kind == UsageReport::Kind::Usage) {
            FUZZ_REQUIRE(fields[0] == QLatin1String("success"));
            // No translation is loaded here: the text is the code's own. The remainder is last,
            // and never negative.
            static const QRegularExpression left(QStringLiteral("\r\nUploads left: \\d+$"));
            FUZZ_REQUIRE(left.match(report.text).hasMatch());
        }
        if (report.kind == UsageReport::Kind::Failed)
            FUZZ_REQUIRE(fields[0] != QLatin1String("success") &&
                         fields[0] != QLatin1String("error"));
    } catch (const RuntimeFault&) {
        // A reply too short for a field the check reads: reported to the user as a fault.
    }
    return 0;
}

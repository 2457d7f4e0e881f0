#include "UsageCheck.h"

#include <QStringList>

#include "platform/Lines.h"
#include "platform/ReplyNumber.h"
#include "service/Replies.h"

namespace quiblo {

namespace {

QString usageText(const UserCheckReply& reply, qint16 remaining) {
    return QStringLiteral("クイブロ 利用状況") + kCrLf + QString(30, QLatin1Char('-')) + kCrLf +
           QStringLiteral("現在利用回数: ") + reply.used() + QStringLiteral("回利用済みです。") +
           kCrLf + QStringLiteral("最大: 過去") + reply.hours() + QStringLiteral("時間に") +
           reply.allowed() + QStringLiteral("回利用できます。") + kCrLf + kCrLf +
           QStringLiteral("あと") + QString::number(remaining) + QStringLiteral("回利用可能です。");
}

}  // namespace

UsageReport readUsageReply(const QString& text) {
    using Kind = UsageReport::Kind;
    const UserCheckReply reply = readUserCheckReply(text);
    if (reply.status == ReplyStatus::Success) {
        if (!reply.complete()) return {Kind::Silent, {}};
        std::optional<qint16> remaining =
            roundToInt16(readFieldNumber(reply.allowed()) - readFieldNumber(reply.used()));
        if (!remaining) return {Kind::Silent, {}};
        return {Kind::Usage, usageText(reply, std::max<qint16>(*remaining, 0))};
    }
    if (reply.status == ReplyStatus::Error) {
        if (!reply.complete()) return {Kind::Silent, {}};
        return {Kind::Refused, reply.refusal()};
    }
    return {Kind::Failed, QStringLiteral("サーバーとの接続が失敗したため、") + kCrLf +
                              QStringLiteral("一部処理は行えませんでした。") + kCrLf +
                              QStringLiteral("終了します。")};
}

}  // namespace quiblo

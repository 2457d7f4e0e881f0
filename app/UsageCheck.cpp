#include "UsageCheck.h"

#include <QStringList>

#include "platform/ReplyNumber.h"
#include "service/ServiceAddress.h"

namespace quiblo {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString usageText(const QStringList& fields, qint16 remaining) {
    return QStringLiteral("クイブロ 利用状況") + kCrLf + QString(30, QLatin1Char('-')) + kCrLf +
           QStringLiteral("現在利用回数: ") + fields[2] + QStringLiteral("回利用済みです。") +
           kCrLf + QStringLiteral("最大: 過去") + fields[4] + QStringLiteral("時間に") + fields[3] +
           QStringLiteral("回利用できます。") + kCrLf + kCrLf + QStringLiteral("あと") +
           QString::number(remaining) + QStringLiteral("回利用可能です。");
}

}  // namespace

UsageReport readUsageReply(const QString& reply) {
    using Kind = UsageReport::Kind;
    const QStringList fields = reply.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    if (!reply.isEmpty() && fields[0] == QLatin1String("success")) {
        if (fields.size() < 5) return {Kind::Silent, {}};
        std::optional<qint16> remaining =
            roundToInt16(readFieldNumber(fields[3]) - readFieldNumber(fields[2]));
        if (!remaining) return {Kind::Silent, {}};
        return {Kind::Usage, usageText(fields, std::max<qint16>(*remaining, 0))};
    }
    if (!reply.isEmpty() && fields[0] == QLatin1String("error")) {
        if (fields.size() < 6) return {Kind::Silent, {}};
        return {Kind::Refused, refusalMessage(fields, 5)};
    }
    return {Kind::Failed, QStringLiteral("サーバーとの接続が失敗したため、") + kCrLf +
                              QStringLiteral("一部処理は行えませんでした。") + kCrLf +
                              QStringLiteral("終了します。")};
}

}  // namespace quiblo

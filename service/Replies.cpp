#include "Replies.h"

#include <QCoreApplication>

#include "platform/Fault.h"
#include "platform/Lines.h"

namespace quiblo {

namespace {

ReplyStatus statusOf(const QString& word) {
    if (word == QLatin1String("success")) return ReplyStatus::Success;
    if (word == QLatin1String("error")) return ReplyStatus::Error;
    return ReplyStatus::Unreadable;
}

QString refusalMessage(const QStringList& fields, qsizetype messageField) {
    if (fields.size() > 1 && fields[1] == QLatin1String("BAD_KEY"))
        return crLf(QCoreApplication::translate(
            "Replies",
            "アップロードキーが違うか、設定されていないため、利用できません。\n"
            "「高度な設定」のアップロードキーを確かめてください。\n"
            "(キーはサーバーの管理人から受け取ります。)"));
    return fields.value(messageField);
}

}  // namespace

QStringList splitReply(const QString& reply) {
    return reply.split(QLatin1Char('|'), Qt::KeepEmptyParts, Qt::CaseSensitive);
}

bool UserCheckReply::complete() const {
    switch (status) {
        case ReplyStatus::Success:
            return fields.size() >= 5;
        case ReplyStatus::Error:
            return fields.size() >= 6;
        case ReplyStatus::Unreadable:
            return false;
    }
    return false;
}

QString UserCheckReply::refusal() const {
    return refusalMessage(fields, 5);
}

UserCheckReply readUserCheckReply(const QString& reply) {
    UserCheckReply read;
    read.fields = splitReply(reply);
    read.status = statusOf(read.fields[0]);
    return read;
}

ResultReply readResultReply(const QString& reply) {
    const QStringList fields = splitReply(reply);
    ResultReply read;
    read.status = statusOf(fields[0]);
    read.code = fields.value(1);
    read.message = refusalMessage(fields, 2);
    read.complete = fields.size() >= 3;
    return read;
}

namespace {

QString usageText(const UserCheckReply& reply, qint16 remaining) {
    return crLf(QCoreApplication::translate("Replies",
                                            "クイブロ 利用状況\n"
                                            "%1\n"
                                            "現在利用回数: %2回利用済みです。\n"
                                            "最大: 過去%3時間に%4回利用できます。\n"
                                            "\n"
                                            "あと%5回利用可能です。")
                    .arg(QString(30, QLatin1Char('-')), reply.used(), reply.hours(),
                         reply.allowed(), QString::number(remaining)));
}

}  // namespace

QString endingText() {
    return QCoreApplication::translate("Replies", "終了します。");
}

QString connectionFailedText() {
    return crLf(QCoreApplication::translate("Replies",
                                            "サーバーとの接続が失敗したため、\n"
                                            "一部処理は行えませんでした。"));
}

UsageReport usageReport(const UserCheckReply& reply) {
    using Kind = UsageReport::Kind;
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
    return {Kind::Failed, connectionFailedText() + kCrLf + endingText()};
}

UsageReport readUsageReply(const QString& reply) {
    return usageReport(readUserCheckReply(reply));
}

UploadPermission uploadPermission(const UserCheckReply& reply) {
    using Kind = UploadPermission::Kind;
    if (reply.status == ReplyStatus::Error) return {Kind::Refused, reply.refusal()};
    if (reply.status != ReplyStatus::Success)
        return {Kind::Failed, connectionFailedText() + kCrLf + endingText()};
    const std::optional<qint16> count = roundToInt16(readFieldNumber(reply.used()) + 1);
    if (!count) throw RuntimeFault(FaultNumber::Overflow);
    return {Kind::Allowed,
            QCoreApplication::translate("Replies", "[%1回目の利用 (最大:過去%2時間に%3回まで)]")
                .arg(QString::number(*count), reply.hours(), reply.allowed())};
}

}  // namespace quiblo

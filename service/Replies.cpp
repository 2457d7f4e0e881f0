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
            "The upload key is wrong or missing, so you cannot upload.\n"
            "Check the upload key in Settings.\n"
            "(The server's administrator gives you the key.)"));
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
                                            "Quiblo usage\n"
                                            "%1\n"
                                            "Uploads so far: %2\n"
                                            "Limit: %4 in any %3 hours\n"
                                            "\n"
                                            "Uploads left: %5"))
        // The fields go in as the service sent them, line ends and all.
        .arg(QString(30, QLatin1Char('-')), reply.used(), reply.hours(), reply.allowed(),
             QString::number(remaining));
}

}  // namespace

QString endingText() {
    return QCoreApplication::translate("Replies", "Stopped.");
}

QString connectionFailedText() {
    return crLf(QCoreApplication::translate("Replies",
                                            "Could not connect to the server,\n"
                                            "so some steps were not done."));
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
            QCoreApplication::translate("Replies", "[Upload no. %1 (limit: %3 in any %2 hours)]")
                .arg(QString::number(*count), reply.hours(), reply.allowed())};
}

}  // namespace quiblo

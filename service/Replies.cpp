#include "Replies.h"

namespace quiblo {

namespace {

ReplyStatus statusOf(const QString& word) {
    if (word == QLatin1String("success")) return ReplyStatus::Success;
    if (word == QLatin1String("error")) return ReplyStatus::Error;
    return ReplyStatus::Unreadable;
}

QString refusalMessage(const QStringList& fields, qsizetype messageField) {
    if (fields.size() > 1 && fields[1] == QLatin1String("BAD_KEY"))
        return QStringLiteral(
            "アップロードキーが違うか、設定されていないため、利用できません。\r\n"
            "「高度な設定」のアップロードキーを確かめてください。\r\n"
            "(キーはサーバーの管理人から受け取ります。)");
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

}  // namespace quiblo

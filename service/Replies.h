// The service's replies, each read in this one place: a reply is cut at every "|" with nothing
// trimmed, and field 0 is its status word.
#pragma once

#include <QString>
#include <QStringList>

#include "service/ReplyNumber.h"

namespace quiblo {

enum class ReplyStatus { Success, Error, Unreadable };

// The reply's fields; an empty reply gives one empty field, which no reader takes for a status.
QStringList splitReply(const QString& reply);

// usercheck.cgi: "success|CODE|used|allowed|hours", or "error|CODE|used|allowed|hours|message".
struct UserCheckReply {
    ReplyStatus status = ReplyStatus::Unreadable;
    QStringList fields;
    // Every field of its status came.
    bool complete() const;
    // The counts as sent; a field the reply lacks is the subscript fault (9).
    const QString& used() const { return replyField(fields, 2); }
    const QString& allowed() const { return replyField(fields, 3); }
    const QString& hours() const { return replyField(fields, 4); }
    // A refusal's message: the program's own for a refused upload key (BAD_KEY), which tells
    // where to set it, else the service's text (empty when it did not come).
    QString refusal() const;
};
UserCheckReply readUserCheckReply(const QString& reply);

// recode.cgi and delete2.cgi: "success|CODE|message" or "error|CODE|message".
struct ResultReply {
    ReplyStatus status = ReplyStatus::Unreadable;
    QString code;
    QString message;        // a refused upload key's is the program's own
    bool complete = false;  // all three fields came
};
ResultReply readResultReply(const QString& reply);

// The user check's reply, read for the usage window and for the upload (the request itself is
// checkUser in UserCheck.h).

// The message of a service that could not be reached.
QString connectionFailedText();
// The last line of a failure that ends the work at hand.
QString endingText();

// What the usage window makes of a reply.
struct UsageReport {
    enum class Kind {
        Usage,    // show the counts; the program runs on
        Refused,  // show the service's message; the program ends
        Failed,   // the service could not be reached; the program ends
        Silent,   // a reply too short to read: nothing is shown, the program runs on
    };
    Kind kind = Kind::Failed;
    QString text;  // the message to show (empty for Silent)
};
UsageReport usageReport(const UserCheckReply& reply);
// The same of a reply's text.
UsageReport readUsageReply(const QString& reply);

// What the upload makes of a reply.
struct UploadPermission {
    enum class Kind {
        Allowed,  // text: the user line, "[N回目の利用 (最大:過去H時間にA回まで)]"
        Refused,  // text: the service's message (the program's own for a refused key)
        Failed,   // text: the connection failure, ending the program
    };
    Kind kind = Kind::Failed;
    QString text;
};
// A count the reply lacks is the subscript fault (9); a next use past 16 bits the overflow
// fault (6), as RuntimeFault.
UploadPermission uploadPermission(const UserCheckReply& reply);

}  // namespace quiblo

// The usage status check: how many uploads the service still allows this user.
#pragma once

#include <QString>

namespace quiblo {

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

// Reads a "usercheck.cgi" reply.
UsageReport readUsageReply(const QString& reply);

}  // namespace quiblo

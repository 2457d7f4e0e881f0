// The line break of the program's texts (message boxes, the history file): CR LF, as the
// service and the files written by earlier copies have them.
#pragma once

#include <QString>

namespace quiblo {

inline const QString kCrLf = QStringLiteral("\r\n");

// A text written with plain line breaks (as translations keep them), with CR LF instead.
inline QString crLf(QString text) {
    return text.replace(QLatin1Char('\n'), kCrLf);
}

}  // namespace quiblo

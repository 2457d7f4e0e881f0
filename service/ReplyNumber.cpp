#include "ReplyNumber.h"

#include <cmath>
#include <limits>

#include "platform/Fault.h"

namespace quiblo {

double readFieldNumber(const QString& field) {
    qsizetype i = 0;
    while (i < field.size() && (field[i] == QLatin1Char(' ') || field[i] == QLatin1Char('\t'))) ++i;
    QString number;
    if (i < field.size() && (field[i] == QLatin1Char('+') || field[i] == QLatin1Char('-')))
        number += field[i++];
    bool digits = false, point = false;
    for (; i < field.size(); ++i) {
        const QChar c = field[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits = true;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
        number += c;
    }
    if (!digits) return 0;
    return number.toDouble();
}

const QString& replyField(const QStringList& fields, qsizetype i) {
    if (i < 0 || i >= fields.size()) throw RuntimeFault(FaultNumber::SubscriptOutOfRange);
    return fields[i];
}

std::optional<qint16> roundToInt16(double value) {
    const double rounded = std::nearbyint(value);  // the default mode rounds halves to even
    if (!(rounded >= std::numeric_limits<qint16>::min() &&
          rounded <= std::numeric_limits<qint16>::max()))
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

}  // namespace quiblo

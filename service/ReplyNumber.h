// Numbers in service replies: a field is read the lenient way the service's replies have always
// been read, and a count is rounded to a 16-bit whole number.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace quiblo {

// Skips leading blanks, then reads a sign, digits and a decimal point as far as they go;
// 0 when the field does not start with a number ("12abc" is 12, "x" is 0, " -1.5" is -1.5).
double readFieldNumber(const QString& field);

// Field i of a reply split at "|"; a field past the end is the subscript fault (9).
const QString& replyField(const QStringList& fields, qsizetype i);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 is 2, 3.5 is 4);
// nothing when the result lies outside -32768 to 32767.
std::optional<qint16> roundToInt16(double value);

}  // namespace quiblo

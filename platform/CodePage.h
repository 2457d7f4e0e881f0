// Text files and service replies are in CP932 (Shift-JIS), the code page of the systems the
// service was made for.
#pragma once

#include <QByteArray>
#include <QString>

namespace quiblo {

// Characters that CP932 cannot hold become '?'.
QByteArray toCp932(const QString& text);
// Byte sequences that are not CP932 become U+FFFD.
QString fromCp932(const QByteArray& bytes);

}  // namespace quiblo

// The codes the service works with: the picture code and deletion id of an upload, the viewing
// code (the picture code in base 64), and the password of the upload server.
#pragma once

#include <QDateTime>
#include <QString>
#include <array>

namespace quiblo {

struct UploadCodes {
    QString pngcode;  // 18 decimal digits
    QString delid;    // 14 decimal digits: local time as YYYYMMDDhhmmss
};

// The last decimal digit of a non-negative value (the remainder of truncating division by 10).
qint16 MakeCode(int value);

// The codes for an upload prepared at now with the four random digits (each 0 to 9).
UploadCodes MakeUploadCodes(const QDateTime& now, const std::array<int, 4>& randomDigits);
// The same with the local clock and four fresh random digits.
UploadCodes MakeUploadCodes();

// digits (in base from) written in base to, over the alphabet 0-9 a-z A-Z - _; empty text when a
// character is outside the alphabet or to is below 2. Values are 16-bit: bases up to 64.
QString BaseConv(const QString& digits, qint16 from, qint16 to);

// The upload server password for program version major.minor: "qbl" and eight digits.
QString MakeFtpPassword(int major, int minor);

}  // namespace quiblo

// The codes the service works with: the picture code and deletion id of an upload, the viewing
// code (the picture code in base 64), and the password of the upload server.
#pragma once

#include <QDateTime>
#include <QString>

namespace quiblo {

// Both codes are drawn from the system's random source: the picture code is public (its base-64
// form is the viewing address), and nothing in it may tell the deletion id, which alone lets its
// owner delete the picture.
struct UploadCodes {
    QString pngcode;     // 18 random decimal digits
    QString delid;       // 14 random decimal digits
    QString uploadedAt;  // local time as YYYYMMDDhhmmss, for the history list
};

inline constexpr int kUploadCodeDigits = 18 + 14;

// The codes for an upload prepared at now: the picture code is the first 18 of the 32 random
// digits, the deletion id the other 14.
UploadCodes MakeUploadCodes(const QDateTime& now, const QString& digits);
// The same with the local clock and fresh digits from the system's random source.
UploadCodes MakeUploadCodes();

// count decimal digits from the system's random source (getrandom), each equally likely.
QString randomDigits(int count);

// digits (in base from) written in base to, over the alphabet 0-9 a-z A-Z - _; empty text when a
// character is outside the alphabet or to is below 2. Values are 16-bit: bases up to 64.
QString BaseConv(const QString& digits, qint16 from, qint16 to);

// The upload server password for program version major.minor: "qbl" and eight digits.
QString MakeFtpPassword(int major, int minor);

}  // namespace quiblo

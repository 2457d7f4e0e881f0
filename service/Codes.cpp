#include "service/Codes.h"

#include <sys/random.h>

#include <cerrno>
#include <random>

#include "platform/Fault.h"

namespace quiblo {

namespace {

const QString digitAlphabet =
    QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_");

// The upload password's prefix and steps; the reference service's upload account uses the same.
constexpr char ftpPasswordPrefix[] = "qbl";
struct PasswordStep {
    int multiplier;
    int addend;
};
constexpr PasswordStep ftpPasswordSteps[8] = {{7, 3}, {9, 5}, {3, 1}, {7, 4},
                                              {9, 2}, {3, 8}, {7, 6}, {9, 0}};

// The alphabet character of a digit value; nothing for a value outside the alphabet.
QString digitText(int value) {
    return value >= 0 && value < digitAlphabet.size() ? QString(digitAlphabet.at(value))
                                                      : QString();
}

}  // namespace

UploadCodes MakeUploadCodes(const QDateTime& now, const QString& digits) {
    return {digits.left(18), digits.mid(18, 14), now.toString(QStringLiteral("yyyyMMddHHmmss"))};
}

UploadCodes MakeUploadCodes() {
    return MakeUploadCodes(QDateTime::currentDateTime(), randomDigits(kUploadCodeDigits));
}

QString randomDigits(int count) {
    QString digits;
    while (digits.size() < count) {
        unsigned char bytes[64];
        ssize_t got = ::getrandom(bytes, sizeof bytes, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {  // a kernel without the call: the same source through the device
            std::random_device device;
            for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(device());
            got = sizeof bytes;
        }
        // Bytes of 250 and up are dropped, so that every digit is equally likely.
        for (ssize_t k = 0; k < got && digits.size() < count; ++k)
            if (bytes[k] < 250) digits += QChar(u'0' + bytes[k] % 10);
    }
    return digits;
}

QString BaseConv(const QString& digits, qint16 from, qint16 to) {
    if (to < 2) return {};
    QString result;
    QString source = digits;
    do {
        QString quotient;
        qint16 remainder = 0;
        for (QChar ch : source) {
            const int position = digitAlphabet.indexOf(ch);  // case-sensitive
            if (position < 0) return {};
            const qint16 value = toInt16(qint32(remainder) * from + position);
            const qint16 q = value / to;
            remainder = value % to;
            // The quotient never starts with a zero digit.
            if (!quotient.isEmpty() || q != 0) quotient += digitText(q);
        }
        result.prepend(digitText(remainder));
        source = quotient;
    } while (!source.isEmpty());
    return result;
}

QString MakeFtpPassword(int major, int minor) {
    int digits[8] = {};
    for (int k = 0; k < 8; ++k) {
        const int source = k == 0 ? major : k == 1 ? minor : digits[k - 2];
        const PasswordStep& step = ftpPasswordSteps[k];
        digits[k] = toInt16(qint32(source) * step.multiplier + step.addend) % 10;
    }
    QString password = QLatin1String(ftpPasswordPrefix);
    for (int digit : digits) password += digitText(digit);
    return password;
}

}  // namespace quiblo

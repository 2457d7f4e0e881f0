#include "service/Codes.h"

#include <mutex>
#include <random>

#include "platform/Fault.h"

namespace quiblo {

namespace {

const QString digitAlphabet =
    QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_");

// One mixed digit of the picture code: three time digits summed, plus an odd constant, times
// one of the random digits.
struct MixStep {
    int timeDigits[3];
    int constant;
    int randomDigit;
};

constexpr MixStep mixSteps[14] = {
    {{4, 0, 8}, 1, 0},   {{5, 1, 9}, 3, 1},   {{6, 2, 10}, 5, 2},  {{7, 3, 11}, 7, 3},
    {{8, 2, 12}, 9, 0},  {{9, 1, 13}, 11, 1}, {{8, 0, 12}, 13, 2}, {{7, 1, 11}, 15, 3},
    {{6, 2, 10}, 17, 0}, {{5, 3, 9}, 19, 1},  {{4, 2, 8}, 21, 2},  {{5, 1, 9}, 23, 3},
    {{6, 0, 10}, 25, 0}, {{7, 1, 11}, 27, 1},
};

// The upload password's prefix and steps; the reference service's upload account uses the same.
constexpr char ftpPasswordPrefix[] = "qbl";
struct PasswordStep {
    int multiplier;
    int addend;
};
constexpr PasswordStep ftpPasswordSteps[8] = {{7, 3}, {9, 5}, {3, 1}, {7, 4},
                                              {9, 2}, {3, 8}, {7, 6}, {9, 0}};

int randomDigit() {
    static std::mutex mutex;
    static std::mt19937 generator{std::random_device{}()};
    static std::uniform_int_distribution<int> digit(0, 9);
    std::lock_guard lock(mutex);
    return digit(generator);
}

// The alphabet character of a digit value; nothing for a value outside the alphabet.
QString digitText(int value) {
    return value >= 0 && value < digitAlphabet.size() ? QString(digitAlphabet.at(value))
                                                      : QString();
}

}  // namespace

qint16 MakeCode(int value) {
    return qint16(value % 10);
}

UploadCodes MakeUploadCodes(const QDateTime& now, const std::array<int, 4>& randomDigits) {
    const QString delid = now.toString(QStringLiteral("yyyyMMddHHmmss"));
    auto time = [&delid](int index) { return delid.at(index).digitValue(); };
    QString pngcode;
    for (const MixStep& step : mixSteps) {
        const int sum = time(step.timeDigits[0]) + time(step.timeDigits[1]) +
                        time(step.timeDigits[2]) + step.constant;
        pngcode += digitText(MakeCode(toInt16(sum * randomDigits[step.randomDigit])));
    }
    for (int digit : randomDigits) pngcode += digitText(digit);
    return {pngcode, delid};
}

UploadCodes MakeUploadCodes() {
    std::array<int, 4> digits{};
    for (int& digit : digits) digit = randomDigit();
    return MakeUploadCodes(QDateTime::currentDateTime(), digits);
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

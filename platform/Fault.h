// Unexpected faults of the program carry the run-time numbers that its messages show, each with
// a Japanese description.
#pragma once

#include <QString>
#include <exception>
#include <string>

namespace quiblo {

namespace FaultNumber {
constexpr int Overflow = 6;
constexpr int SubscriptOutOfRange = 9;
constexpr int FileNotFound = 53;
constexpr int WriteFailed = 70;
constexpr int FileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int InvalidPicture = 481;
}  // namespace FaultNumber

QString faultDescription(int number);

class RuntimeFault : public std::exception {
public:
    explicit RuntimeFault(int number);
    RuntimeFault(int number, QString description);

    int number() const { return number_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int number_;
    QString description_;
    std::string what_;
};

// A 16-bit signed value, or the overflow fault.
qint16 toInt16(long long value);

}  // namespace quiblo

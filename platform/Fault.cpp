#include "Fault.h"

#include <QCoreApplication>

#include <limits>

namespace quiblo {

QString faultDescription(int number) {
    switch (number) {
        case FaultNumber::Overflow:
            return QCoreApplication::translate("Fault", "Overflow.");
        case FaultNumber::SubscriptOutOfRange:
            return QCoreApplication::translate("Fault", "Index out of range.");
        case FaultNumber::FileNotFound:
            return QCoreApplication::translate("Fault", "File not found.");
        case FaultNumber::WriteFailed:
            return QCoreApplication::translate("Fault", "Cannot write the file.");
        case FaultNumber::FileAccess:
            return QCoreApplication::translate("Fault", "Cannot read the file.");
        case FaultNumber::PathNotFound:
            return QCoreApplication::translate("Fault", "Path not found.");
        case FaultNumber::InvalidPicture:
            return QCoreApplication::translate("Fault", "Invalid picture.");
        default:
            return QCoreApplication::translate("Fault",
                                               "Application-defined or object-defined error.");
    }
}

RuntimeFault::RuntimeFault(int number) : RuntimeFault(number, faultDescription(number)) {}

RuntimeFault::RuntimeFault(int number, QString description)
    : number_(number),
      description_(std::move(description)),
      what_(std::to_string(number) + ": " + description_.toStdString()) {}

qint16 toInt16(long long value) {
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        throw RuntimeFault(FaultNumber::Overflow);
    return static_cast<qint16>(value);
}

}  // namespace quiblo

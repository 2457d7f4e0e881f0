#include "Fault.h"

#include <QCoreApplication>

#include <limits>

namespace quiblo {

QString faultDescription(int number) {
    switch (number) {
        case FaultNumber::Overflow:
            return QCoreApplication::translate("Fault", "オーバーフローしました。");
        case FaultNumber::SubscriptOutOfRange:
            return QCoreApplication::translate("Fault", "インデックスが有効範囲にありません。");
        case FaultNumber::FileNotFound:
            return QCoreApplication::translate("Fault", "ファイルが見つかりません。");
        case FaultNumber::WriteFailed:
            return QCoreApplication::translate("Fault", "ファイルに書き込めません。");
        case FaultNumber::FileAccess:
            return QCoreApplication::translate("Fault", "ファイルを読み込めません。");
        case FaultNumber::PathNotFound:
            return QCoreApplication::translate("Fault", "パスが見つかりません。");
        case FaultNumber::InvalidPicture:
            return QCoreApplication::translate("Fault", "ピクチャが不正です。");
        default:
            return QCoreApplication::translate("Fault", "アプリケーション定義またはオブジェクト定義のエラーです。");
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

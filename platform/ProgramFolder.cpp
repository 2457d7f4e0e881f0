#include "ProgramFolder.h"

#include <QCoreApplication>

namespace quiblo {

QString executableFolder() {
    return QCoreApplication::applicationDirPath();
}

QString programFile(const QString& folder, const QString& name) {
    return folder + QLatin1Char('/') + name;
}

}  // namespace quiblo

#include "SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace quiblo {

InstanceLock::InstanceLock(const QString& path) : lock_(path) {
    // Only a dead owner makes the lock stale, never its age: a copy may run for weeks.
    lock_.setStaleLockTime(0);
}

bool InstanceLock::tryAcquire() {
    return lock_.isLocked() || lock_.tryLock(0);
}

QString InstanceLock::defaultPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return folder + QStringLiteral("/quiblo.lock");
}

}  // namespace quiblo

// One running copy per user: a lock file in the user's runtime folder, held while the program
// runs. A lock left by a copy that died is taken over.
#pragma once

#include <QLockFile>
#include <QString>

namespace quiblo {

class InstanceLock {
public:
    explicit InstanceLock(const QString& path = defaultPath());
    // True when this process now holds the lock (or already held it).
    bool tryAcquire();
    static QString defaultPath();

private:
    QLockFile lock_;
};

}  // namespace quiblo

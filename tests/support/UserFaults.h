// Real faults of the file system for tests: a folder an ordinary user cannot write, a read-only
// or full mount. The suite runs as root in CI, where permissions do not stop a write: there a
// piece of a test runs as the unprivileged user "nobody" instead.
#pragma once

#include <QString>
#include <functional>

namespace quiblo::test {

bool runningAsRoot();

// Runs check as an unprivileged user and returns its result (0..255): as "nobody" in a child
// process when the tests run as root, else right here. -1 when the child could not run.
int runUnprivileged(const std::function<int()>& check);

// Lets the unprivileged user of runUnprivileged into a folder (mode 0755), or gives it the
// folder (owner nobody) when own is true.
void openToUnprivileged(const QString& folder, bool own = false);

// A tmpfs mounted on a folder for the life of the object; root only.
class TmpfsMount {
public:
    TmpfsMount(const QString& folder, const QByteArray& options, bool readOnly);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    bool mounted() const { return mounted_; }
    const QString& error() const { return error_; }
    // Root without the right to mount (a container without CAP_SYS_ADMIN).
    bool refused() const { return refused_; }

private:
    QString folder_;
    bool mounted_ = false;
    bool refused_ = false;
    QString error_;
};

}  // namespace quiblo::test

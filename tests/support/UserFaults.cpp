#include "UserFaults.h"

#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace quiblo::test {

bool runningAsRoot() {
    return ::geteuid() == 0;
}

int runUnprivileged(const std::function<int()>& check) {
    if (!runningAsRoot()) return check();
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) return -1;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(255);
        ::_exit(check());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

void openToUnprivileged(const QString& folder, bool own) {
    const QByteArray path = QFile::encodeName(folder);
    ::chmod(path.constData(), 0755);
    const passwd* nobody = ::getpwnam("nobody");
    if (own && runningAsRoot() && nobody) [[maybe_unused]]
        int ignored = ::chown(path.constData(), nobody->pw_uid, nobody->pw_gid);
}

TmpfsMount::TmpfsMount(const QString& folder, const QByteArray& options, bool readOnly)
    : folder_(folder) {
    const unsigned long flags = readOnly ? MS_RDONLY : 0;
    mounted_ = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", flags,
                       options.constData()) == 0;
    if (mounted_) return;
    refused_ = errno == EPERM;
    error_ = QString::fromLocal8Bit(std::strerror(errno));
}

TmpfsMount::~TmpfsMount() {
    if (mounted_) ::umount2(QFile::encodeName(folder_).constData(), MNT_DETACH);
}

}  // namespace quiblo::test

// Real file-system faults for tests: a small tmpfs that can be filled up or made read-only, and
// file access as an ordinary user. Mounting needs root (CI runs as root); a test that cannot
// mount skips itself.
#pragma once

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace quiblo::test {

// A tmpfs of the given size mounted on a fresh temporary folder for the object's life.
class SmallDisk {
public:
    explicit SmallDisk(int kilobytes) {
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0777";
        mounted_ = dir_.isValid() && ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(),
                                             "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }

    // Takes every free block with a file of its own, so the next write of data fails.
    void fill() const {
        const int fd = ::open(QFile::encodeName(dir_.filePath(".filler")).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) return;
        const QByteArray block(4096, 'x');
        while (::write(fd, block.constData(), block.size()) > 0) {
        }
        while (::write(fd, block.constData(), 1) > 0) {
        }
        ::close(fd);
    }

    // Remounts the disk read-only: every write, even root's, fails with EROFS.
    bool makeReadOnly() const {
        return ::mount(nullptr, QFile::encodeName(dir_.path()).constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

// While the object lives, this thread's file access is checked as the user "nobody", so
// permission bits count even when the tests run as root.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (::geteuid() != 0) return;
        oldGroup_ = ::setfsgid(kNobody);
        oldUser_ = ::setfsuid(kNobody);
    }
    ~AsOrdinaryUser() {
        if (oldUser_ < 0) return;
        ::setfsuid(oldUser_);
        ::setfsgid(oldGroup_);
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    static constexpr uid_t kNobody = 65534;
    int oldUser_ = -1;
    int oldGroup_ = -1;
};

}  // namespace quiblo::test

#include "file_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>

#include "failure.h"
#include "imgctl.h"

namespace imgctl {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Removes the temporary file unless the rename has consumed it.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!committed_) std::remove(path_.c_str());
    }

    const std::string& path() const { return path_; }
    void commit() { committed_ = true; }

private:
    std::string path_;
    bool committed_ = false;
};

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A hidden name in the same folder (so the rename stays on one file system) that no other
// writer, in this or another process, picks at the same time.
std::string tempNameFor(const std::string& path) {
    static std::atomic<uint64_t> counter{0};
    thread_local std::mt19937_64 random{std::random_device{}()};
    return folderOf(path) + ".imgctl-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter++) + "-" + std::to_string(random() % 1000000) + ".tmp";
}

// "x": fail rather than reuse an existing file; permissions follow the umask like any new file.
File createTemp(const std::string& tempPath) {
    File file(std::fopen(tempPath.c_str(), "wbx"));
    if (!file) throw Failure{IMGCTL_ERR_OPEN_FILE};
    return file;
}

// The file a chain of symbolic links at path ends in; path itself when it is no link. A link
// that points nowhere yet gives the name the new file is to have.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(path, error).string();
        if (error || target.empty()) throw Failure{IMGCTL_ERR_OPEN_FILE};
        path = target.front() == '/' ? target : folderOf(path) + target;
    }
    throw Failure{IMGCTL_ERR_OPEN_FILE};  // a loop of links
}

// What is at the target now: nothing (or nothing that can be seen), or a regular file. Anything
// else (a folder, a device, a pipe) is not ours to replace.
std::optional<struct stat> existingFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    if (!S_ISREG(info.st_mode)) throw Failure{IMGCTL_ERR_NOT_A_FILE};
    return info;
}

// The new file takes the old one's place with its owner and permissions. Owner first: a change
// of owner clears the set-id bits. A caller that may not give the file away keeps it as its own.
void keepAttributes(std::FILE* file, const struct stat& old) {
    const int fd = ::fileno(file);
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not allowed for an ordinary user unless the file was already theirs; not a failure.
    }
    if (::fchmod(fd, old.st_mode & 07777) != 0) throw Failure{IMGCTL_ERR_WRITE_FILE};
}

void writeAndClose(File file, const std::vector<uint8_t>& bytes) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    // Closing flushes the buffer, so its result counts as part of the write.
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) throw Failure{IMGCTL_ERR_WRITE_FILE};
}

}  // namespace

void writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (path.empty() || path.back() == '/') throw Failure{IMGCTL_ERR_OPEN_FILE};
    const std::string target = followLinks(path);
    const std::optional<struct stat> old = existingFile(target);
    const std::string tempPath = tempNameFor(target);
    File file = createTemp(tempPath);
    TempFile temp(tempPath);  // armed only once the file is ours, never someone else's
    if (old) keepAttributes(file.get(), *old);
    writeAndClose(std::move(file), bytes);
    if (std::rename(temp.path().c_str(), target.c_str()) != 0) throw Failure{IMGCTL_ERR_OPEN_FILE};
    temp.commit();
}

}  // namespace imgctl

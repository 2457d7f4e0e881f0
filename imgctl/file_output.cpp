#include "file_output.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
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

void writeAndClose(File file, const std::vector<uint8_t>& bytes) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    // Closing flushes the buffer, so its result counts as part of the write.
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) throw Failure{IMGCTL_ERR_WRITE_FILE};
}

}  // namespace

void writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (path.empty() || path.back() == '/') throw Failure{IMGCTL_ERR_OPEN_FILE};
    const std::string tempPath = tempNameFor(path);
    File file = createTemp(tempPath);
    TempFile temp(tempPath);  // armed only once the file is ours, never someone else's
    writeAndClose(std::move(file), bytes);
    if (std::rename(temp.path().c_str(), path.c_str()) != 0) throw Failure{IMGCTL_ERR_OPEN_FILE};
    temp.commit();
}

}  // namespace imgctl

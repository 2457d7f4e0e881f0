// Makes writes to files fail past a size while the object lives. Root passes every permission
// check, but not this limit: it is how the tests make a rewrite of the history fail.
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace quiblo::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);  // report EFBIG instead of ending the process
        const rlimit limit{bytes, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    sighandler_t oldHandler_ = SIG_DFL;
};

}  // namespace quiblo::test

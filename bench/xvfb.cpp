#include "xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

namespace bench {
namespace {

// The display number Xvfb writes to the pipe once it accepts clients; empty after 10 s.
std::string readLine(int fd) {
    std::string line;
    pollfd p{fd, POLLIN, 0};
    char c;
    while (poll(&p, 1, 10000) > 0 && read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

}  // namespace

Xvfb::Xvfb(int width, int height) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                          screen.c_str(), "-nolisten",  "tcp",      "-noreset", nullptr};
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        fcntl(fds[1], F_SETFD, 0);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        execvp(argv[0], const_cast<char**>(argv));
        _exit(127);
    }
    close(fds[1]);
    const std::string number = readLine(fds[0]);
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
}

Xvfb::~Xvfb() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

int onEachScreenSize(const std::function<int(int, int)>& measure) {
    int status = 0;
    for (const auto& [width, height] : {std::pair{3840, 2160}, std::pair{1920, 1080}}) {
        const pid_t child = fork();
        if (child == 0) _exit(measure(width, height));
        int childStatus = 0;
        waitpid(child, &childStatus, 0);
        if (!WIFEXITED(childStatus) || WEXITSTATUS(childStatus) != 0) status = 1;
    }
    return status;
}

}  // namespace bench

// An Xvfb of a bench's own, for the benches that measure on an X screen.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace bench {

// Starts Xvfb with one 24-bit screen of the size; stopped with the object.
class Xvfb {
public:
    Xvfb(int width, int height);
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    const std::string& name() const { return name_; }  // ":N", or empty when it did not start

private:
    pid_t pid_ = -1;
    std::string name_;
};

// Runs measure(width, height) for 3840x2160, then 1920x1080, each in a process of its own (an
// application connects to one display for its life); 0 when every run returned 0.
int onEachScreenSize(const std::function<int(int width, int height)>& measure);

}  // namespace bench

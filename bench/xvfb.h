// An Xvfb of a bench's own, for the benches that measure on an X screen.
#pragma once

#include <sys/types.h>

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

}  // namespace bench

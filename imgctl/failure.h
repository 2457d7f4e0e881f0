// Internal error signalling: the C entry points turn a Failure into the thread's error code.
#pragma once

#include <cstdint>

namespace imgctl {

struct Failure {
    int32_t code;
};

}  // namespace imgctl

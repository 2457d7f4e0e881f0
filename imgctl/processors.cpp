#include "processors.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace imgctl {

size_t processorsAllowed() {
    cpu_set_t allowed;
    return sched_getaffinity(0, sizeof allowed, &allowed) == 0
               ? size_t(std::max(1, CPU_COUNT(&allowed)))
               : std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace imgctl

// How many processors the library's threads may keep busy.
#pragma once

#include <cstddef>

namespace imgctl {

// The processors this process may run on (taskset, cpusets).
size_t processorsAllowed();

}  // namespace imgctl

// How many processors the library's threads may keep busy.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace imgctl {

// The processors this process may run on (taskset, cpusets), cut to its cgroup's CPU quota where
// one is set (containers, systemd's CPUQuota=): more threads than the quota only wait for it.
size_t processorsAllowed();

// The CPU quota, in processors, of the cgroup that selfCgroup (the text of /proc/self/cgroup)
// names, read from the cgroup file systems mounted at root: the tightest quota of the cgroup and
// its ancestors, for cgroup v2 (cpu.max) and v1 (cpu.cfs_quota_us). Nothing where none is set
// or none can be read.
std::optional<double> cgroupCpuQuota(const std::filesystem::path& root,
                                     const std::string& selfCgroup);

}  // namespace imgctl

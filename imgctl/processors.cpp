#include "processors.h"

#include <sched.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "parts.h"

namespace imgctl {
namespace {

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A whole number and nothing after it but white space.
std::optional<long long> numberIn(const std::string& text) {
    const char* end = text.data() + text.size();
    long long value = 0;
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() ||
        !std::all_of(rest, end, [](unsigned char c) { return std::isspace(c) != 0; })) {
        return std::nullopt;
    }
    return value;
}

// A quota over a period, in processors; nothing for "max", -1 or anything unreadable.
std::optional<double> quotaOf(const std::string& quota, const std::string& period) {
    const std::optional<long long> q = numberIn(quota), p = numberIn(period);
    if (!q || !p || *q <= 0 || *p <= 0) return std::nullopt;
    return double(*q) / double(*p);
}

// cgroup v2: "max 100000" or "150000 100000".
std::optional<double> quotaV2(const std::filesystem::path& dir) {
    const std::optional<std::string> text = readFile(dir / "cpu.max");
    if (!text) return std::nullopt;
    std::istringstream fields(*text);
    std::string quota, period;
    fields >> quota >> period;
    return quotaOf(quota, period);
}

// cgroup v1: the quota and period in files of their own; the quota -1 where none is set.
std::optional<double> quotaV1(const std::filesystem::path& dir) {
    const std::optional<std::string> quota = readFile(dir / "cpu.cfs_quota_us");
    const std::optional<std::string> period = readFile(dir / "cpu.cfs_period_us");
    if (!quota || !period) return std::nullopt;
    return quotaOf(*quota, *period);
}

std::optional<double> tighter(std::optional<double> a, std::optional<double> b) {
    if (!a) return b;
    if (!b) return a;
    return std::min(*a, *b);
}

// The tightest quota of the cgroup at path under mount and of its ancestors. Inside a container
// the path names the host's cgroup, which is not under the container's mount: its ancestors
// still reach the mount itself, which is the container's own cgroup.
template <class Quota>
std::optional<double> tightestUpward(const std::filesystem::path& mount, std::string path,
                                     Quota quota) {
    std::optional<double> found;
    for (;;) {
        found = tighter(found, quota(mount / std::filesystem::path(path).relative_path()));
        if (path.empty() || path == "/") return found;
        const size_t slash = path.find_last_of('/');
        path = slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
}

bool namesCpuController(const std::string& controllers) {
    std::istringstream list(controllers);
    for (std::string name; std::getline(list, name, ',');) {
        if (name == "cpu") return true;
    }
    return false;
}

}  // namespace

std::optional<double> cgroupCpuQuota(const std::filesystem::path& root,
                                     const std::string& selfCgroup) {
    std::optional<double> found;
    std::istringstream lines(selfCgroup);
    for (std::string line; std::getline(lines, line);) {
        // hierarchy-id:controllers:path
        const size_t first = line.find(':');
        const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (line.compare(0, first, "0") == 0 && controllers.empty()) {
            // v2 is mounted at the root itself, or beside v1 as "unified" on hybrid systems.
            for (const char* mount : {"", "unified"}) {
                found = tighter(found, tightestUpward(root / mount, path, quotaV2));
            }
        } else if (namesCpuController(controllers)) {
            for (const std::string& mount : {controllers, std::string("cpu")}) {
                found = tighter(found, tightestUpward(root / mount, path, quotaV1));
            }
        }
    }
    return found;
}

size_t processorsAllowed() {
    cpu_set_t allowed;
    size_t processors = sched_getaffinity(0, sizeof allowed, &allowed) == 0
                            ? size_t(std::max(1, CPU_COUNT(&allowed)))
                            : std::max(1u, std::thread::hardware_concurrency());
    if (!parts::cgroupQuota) return processors;
    if (const std::optional<std::string> self = readFile("/proc/self/cgroup")) {
        if (const std::optional<double> quota = cgroupCpuQuota("/sys/fs/cgroup", *self)) {
            processors = std::min(processors, size_t(std::max(1.0, std::ceil(*quota))));
        }
    }
    return processors;
}

}  // namespace imgctl

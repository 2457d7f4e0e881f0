// Work split across threads.
#pragma once

#include <cstddef>
#include <future>
#include <vector>

namespace imgctl {

// Runs task(i) for every i below count, i = 0 on this thread and each other on a thread of its
// own (run here instead if no thread can be started), and returns the results in order. An
// exception from any task is thrown here, once all have ended.
template <class Task>
auto onThreads(size_t count, Task task) -> std::vector<decltype(task(size_t{0}))> {
    using Result = decltype(task(size_t{0}));
    std::vector<std::future<Result>> others;
    for (size_t i = 1; i < count; ++i) others.push_back(std::async(task, i));
    std::vector<Result> results;
    results.push_back(task(0));
    for (auto& f : others) results.push_back(f.get());
    return results;
}

}  // namespace imgctl

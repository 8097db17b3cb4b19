// The best of several timed runs of the same work: the run least disturbed
// by whatever else the machine is doing.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

namespace benchtime {

inline double BestSeconds(const std::function<void()>& work, int runs)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

inline double BestMilliseconds(const std::function<void()>& work, int runs)
{
    return 1000 * BestSeconds(work, runs);
}

}  // namespace benchtime

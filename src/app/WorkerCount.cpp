#include "app/WorkerCount.h"

#include <sched.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace corvalin {

namespace {

int AffinityCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    return std::max(1, CPU_COUNT(&set));
}

// The cgroup v2 path of this process ("0::/user.slice/..."), or empty.
std::string OwnCgroup()
{
    std::ifstream in("/proc/self/cgroup");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("0::"))
            return line.substr(3);
    return "";
}

// The smallest quota of the cgroup and its ancestors; 0 when none is set.
int QuotaCores()
{
    std::string group = OwnCgroup();
    if (group.empty() || group[0] != '/')
        return 0;
    int smallest = 0;
    while (true) {
        std::ifstream in("/sys/fs/cgroup" + group + (group == "/" ? "" : "/") + "cpu.max");
        std::string text;
        if (in && std::getline(in, text))
            if (const int cores = CoresOfCpuMax(text); cores > 0)
                smallest = smallest == 0 ? cores : std::min(smallest, cores);
        if (group == "/")
            return smallest;
        group = group.substr(0, std::max<size_t>(1, group.rfind('/')));
    }
}

}  // namespace

int CoresOfCpuMax(const std::string& text)
{
    std::istringstream in(text);
    long long quota = 0;
    long long period = 0;
    if (!(in >> quota >> period) || quota <= 0 || period <= 0)
        return 0;  // "max 100000" fails the first read
    const long long cores = (quota + period - 1) / period;
    return int(std::min<long long>(cores, 1 << 16));
}

int AvailableCores()
{
    const int affinity = AffinityCores();
    const int quota = QuotaCores();
    return quota > 0 ? std::min(affinity, quota) : affinity;
}

}  // namespace corvalin

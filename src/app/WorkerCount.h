// How many files a batch converts at once by default.
#pragma once

#include <string>

namespace corvalin {

// The cores this process may use: the CPU affinity mask, further limited by
// a cgroup v2 CPU quota ("cpu.max") of the process's cgroup or any cgroup
// above it. At least 1.
int AvailableCores();

// Cores a "cpu.max" text allows: its quota divided by its period, rounded
// up; 0 for "max" (no quota) or a text that is no quota.
int CoresOfCpuMax(const std::string& text);

}  // namespace corvalin

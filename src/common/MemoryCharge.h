// Memory that a library allocates by itself, out of Corvalin's reach: its
// expected size is charged to the file's account (MemoryBudget.h) before
// the library runs and returned when the charge ends. Outside a run (no
// account) nothing is charged.
#pragma once

#include <cstdint>
#include <memory>

#include "common/MemoryBudget.h"

namespace corvalin {

class TMemoryCharge {
public:
    TMemoryCharge() = default;
    // Throws as TMemoryAccount::Reserve does.
    TMemoryCharge(uint64_t bytes, const char* what) : account_(ReserveMemory(bytes, what)), bytes_(bytes) {}
    ~TMemoryCharge() { ReturnMemory(account_, bytes_); }
    TMemoryCharge(const TMemoryCharge&) = delete;
    TMemoryCharge& operator=(const TMemoryCharge&) = delete;

private:
    std::shared_ptr<TAccountState> account_;
    uint64_t bytes_ = 0;
};

}  // namespace corvalin

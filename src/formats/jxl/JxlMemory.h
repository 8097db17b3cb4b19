// libjxl's allocations through a memory manager that charges each one to
// the file's account first. libjxl 0.7 routes only its decoder's own state
// through it (its pixel planes come from malloc): what those take is charged
// by the reader from the picture's header (JxlFile.cpp).
#pragma once

#include <exception>
#include <memory>

#include <jxl/memory_manager.h>

#include "common/MemoryBudget.h"

namespace corvalin {

class TJxlMemory {
public:
    TJxlMemory() = default;
    TJxlMemory(const TJxlMemory&) = delete;
    TJxlMemory& operator=(const TJxlMemory&) = delete;

    JxlMemoryManager* Manager() { return &manager_; }
    // Throws the reservation that failed inside libjxl, if one did: no
    // exception may pass through the library, which sees only a null block.
    void RethrowFailure() const;

private:
    static void* Allocate(void* opaque, size_t size);
    static void Free(void* opaque, void* address);

    JxlMemoryManager manager_{this, Allocate, Free};
    std::shared_ptr<TAccountState> account_;
    std::exception_ptr failure_;
};

}  // namespace corvalin

#include "formats/jxl/JxlMemory.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace corvalin {

namespace {

// Each block starts with its size, in a header that keeps malloc's alignment.
constexpr size_t kHeader = alignof(std::max_align_t);

}  // namespace

void TJxlMemory::RethrowFailure() const
{
    if (failure_)
        std::rethrow_exception(failure_);
}

void* TJxlMemory::Allocate(void* opaque, size_t size)
{
    auto& memory = *static_cast<TJxlMemory*>(opaque);
    if (memory.failure_ || size > SIZE_MAX - kHeader)
        return nullptr;
    try {
        std::shared_ptr<TAccountState> account = ReserveMemory(size, "Die Datei");
        if (account)
            memory.account_ = std::move(account);
    } catch (...) {
        memory.failure_ = std::current_exception();
        return nullptr;
    }
    auto* block = static_cast<unsigned char*>(std::malloc(kHeader + size));
    if (block == nullptr) {
        ReturnMemory(memory.account_, size);
        memory.failure_ = std::make_exception_ptr(std::bad_alloc());
        return nullptr;
    }
    *reinterpret_cast<size_t*>(block) = size;
    return block + kHeader;
}

void TJxlMemory::Free(void* opaque, void* address)
{
    if (address == nullptr)
        return;
    auto& memory = *static_cast<TJxlMemory*>(opaque);
    unsigned char* block = static_cast<unsigned char*>(address) - kHeader;
    ReturnMemory(memory.account_, *reinterpret_cast<size_t*>(block));
    std::free(block);
}

}  // namespace corvalin

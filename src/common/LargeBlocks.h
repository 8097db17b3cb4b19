// Memory for decoded pictures and whole files read for them. Blocks of a
// megabyte and more come from mappings of their own instead of the heap,
// and a few freed ones are kept for the next file to reuse.
//
// Why not the heap: glibc gives large freed blocks straight back to the
// system, so every file would fault its pages in afresh, which costs more
// than converting a small picture. Told to keep them instead, the heap soon
// splits a freed block for some small allocation, the next picture of the
// same size no longer fits, and every worker (and every thread that ever
// held a picture) keeps about one picture more than it needs. Mappings are
// never split.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace corvalin {

// Blocks below this size come from the ordinary heap.
inline constexpr size_t kLargeBlockBytes = size_t(1) << 20;

// What one conversion holds at most at once: the file read whole, its
// picture and a turned copy or large result.
inline constexpr size_t kBlocksPerFile = 3;

// A block of at least `bytes` bytes (of any content); throws std::bad_alloc.
void* AcquireLargeBlock(size_t bytes);
// Returns a block from AcquireLargeBlock with the size it was asked for.
void ReleaseLargeBlock(void* block, size_t bytes) noexcept;
// How many freed blocks are kept for reuse; beyond that the oldest goes
// back to the system. 0 gives every kept block back at once. Until set:
// kBlocksPerFile.
void KeepLargeBlocks(size_t count);

template <typename T>
struct TLargeBlockAllocator {
    using value_type = T;

    TLargeBlockAllocator() = default;
    template <typename U>
    TLargeBlockAllocator(const TLargeBlockAllocator<U>&) noexcept
    {
    }

    T* allocate(size_t count)
    {
        if (count > SIZE_MAX / sizeof(T))
            throw std::bad_array_new_length();
        const size_t bytes = count * sizeof(T);
        if (bytes < kLargeBlockBytes)
            return static_cast<T*>(::operator new(bytes));
        return static_cast<T*>(AcquireLargeBlock(bytes));
    }

    void deallocate(T* block, size_t count) noexcept
    {
        const size_t bytes = count * sizeof(T);
        if (bytes < kLargeBlockBytes)
            ::operator delete(block);
        else
            ReleaseLargeBlock(block, bytes);
    }

    // Grown buffers are not zeroed: a file read whole is filled before it is
    // read, and a raster is cleared where it is made. Zeroing a picture-sized
    // block only to overwrite it doubles the memory traffic of a fast codec.
    template <typename U>
    void construct(U* element) noexcept(std::is_nothrow_default_constructible_v<U>)
    {
        ::new (static_cast<void*>(element)) U;
    }
    template <typename U, typename... Args>
    void construct(U* element, Args&&... args)
    {
        ::new (static_cast<void*>(element)) U(std::forward<Args>(args)...);
    }

    template <typename U>
    bool operator==(const TLargeBlockAllocator<U>&) const noexcept
    {
        return true;
    }
};

// Bytes that may be as large as a picture.
using TLargeBytes = std::vector<uint8_t, TLargeBlockAllocator<uint8_t>>;

}  // namespace corvalin

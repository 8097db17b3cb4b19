// Memory for decoded pictures and whole files read for them. Blocks of a
// megabyte and more come from mappings of their own instead of the heap,
// and a few freed ones are kept for the next file to reuse.
//
// Why not the heap: the heap keeps freed memory for reuse too, but a block
// freed between two files is soon split by some small allocation, and the
// next picture of the same size no longer fits into it. Every worker's heap
// then holds about one picture more than its file needs. Mappings are never
// split; reusing them spares the page faults of fresh memory, which cost
// more than converting a small picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
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

    template <typename U>
    bool operator==(const TLargeBlockAllocator<U>&) const noexcept
    {
        return true;
    }
};

// Bytes that may be as large as a picture.
using TLargeBytes = std::vector<uint8_t, TLargeBlockAllocator<uint8_t>>;

}  // namespace corvalin

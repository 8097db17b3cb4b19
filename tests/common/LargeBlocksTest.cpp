#include <gtest/gtest.h>

#include <sys/mman.h>

#include <cstring>

#include "common/LargeBlocks.h"

using namespace corvalin;

#if defined(__SANITIZE_ADDRESS__) || defined(CORVALIN_SANITIZER_RUNTIME)
constexpr bool kBlocksAreMapped = false;  // the sanitizer's heap serves them
#elif defined(__has_feature)
constexpr bool kBlocksAreMapped = !__has_feature(address_sanitizer) && !__has_feature(memory_sanitizer);
#else
constexpr bool kBlocksAreMapped = true;
#endif

namespace {

// msync refuses memory that is not mapped.
bool Mapped(void* block, size_t bytes)
{
    return ::msync(block, bytes, MS_ASYNC) == 0;
}

}  // namespace

// A freed picture's block serves the next picture of about its size; a much
// smaller one gets its own, and kept blocks go back once no more are to be
// kept.
TEST(LargeBlocks, KeptBlocksServeRequestsOfAboutTheirSize)
{
    if (!kBlocksAreMapped)
        GTEST_SKIP() << "blocks come from the sanitizer's heap";
    KeepLargeBlocks(0);
    KeepLargeBlocks(kBlocksPerFile);
    constexpr size_t kPicture = 6 << 20;
    void* first = AcquireLargeBlock(kPicture);
    std::memset(first, 0xFF, kPicture);
    ReleaseLargeBlock(first, kPicture);

    void* small = AcquireLargeBlock(kPicture / 2);
    EXPECT_NE(small, first);
    const TLargeBytes picture(kPicture - 4096);
    EXPECT_EQ(static_cast<const void*>(picture.data()), first);
    ReleaseLargeBlock(small, kPicture / 2);

    // Kept blocks stay mapped until no more are to be kept.
    EXPECT_TRUE(Mapped(small, kPicture / 2));
    KeepLargeBlocks(0);
    EXPECT_FALSE(Mapped(small, kPicture / 2));
    KeepLargeBlocks(kBlocksPerFile);
}

// Feeds arbitrary bytes to the WebP row's reader, whole and for sampled
// rows (see RowFuzzing.h).
#include <cstddef>
#include <cstdint>

#include "RowFuzzing.h"
#ifdef CORVALIN_WITH_WEBP
#include <webp/decode.h>
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
#ifdef CORVALIN_WITH_WEBP
    // Large canvases only spend the fuzzer's time on filling memory.
    int width = 0, height = 0;
    if (WebPGetInfo(data, size, &width, &height) && uint64_t(width) * uint64_t(height) > (1u << 22))
        return 0;
    picturetest::FuzzRowLoad(corvalin::fiWebp, data, size);
    picturetest::FuzzSampledRowLoad(corvalin::fiWebp, data, size);
#else
    (void)data;
    (void)size;
#endif
    return 0;
}

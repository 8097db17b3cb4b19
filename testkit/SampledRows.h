// The check the harnesses of readers that can decode rows alone share:
// decoding only the rows a scaling samples must scale to the same pixels as
// the whole decode, and must not fail where the whole decode did not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Exceptions.h"
#include "picture/Bitmap.h"
#include "picture/Stretch.h"
#include "PictureTestUtil.h"

namespace fuzzcheck {

// `decode(request, picture)` reads the input into picture asking `request`;
// the number of rows comes from the input's last byte, so that the corpus
// tries many.
template <typename Decode>
void CheckSampledRowsAgree(const uint8_t* data, size_t size, const corvalin::TBitmap& whole,
                           Decode decode)
{
    using namespace corvalin;
    const int32_t rows = 1 + data[size - 1] % whole.Height();
    TBitmap sampled;
    try {
        decode([rows](int32_t, int32_t) { return rows; }, sampled);
    } catch (const Exception&) {
        __builtin_trap();
    }
    const int32_t width = whole.Width();
    if (picturetest::ScaledRows(*sampled.Raster(), width, rows) !=
        picturetest::ScaledRows(*whole.Raster(), width, rows))
        __builtin_trap();
}

}  // namespace fuzzcheck

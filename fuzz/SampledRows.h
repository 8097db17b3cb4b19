// The check the harnesses of readers that can decode rows alone share:
// decoding only the rows a scaling samples must scale to the same pixels as
// the whole decode, and must not fail where the whole decode did not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/Exceptions.h"
#include "picture/Bitmap.h"
#include "picture/Stretch.h"

namespace fuzzcheck {

inline std::vector<uint8_t> ScaledRows(const corvalin::TRaster& raster, int32_t rows)
{
    using namespace corvalin;
    auto target = TRaster::Create(raster.width, rows, TPixelFormat::pf24bit);
    StretchRaster(*target, TRect{0, 0, raster.width, rows}, raster, std::nullopt);
    return {target->Row(0), target->Row(0) + target->stride * size_t(rows)};
}

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
    if (ScaledRows(*sampled.Raster(), rows) != ScaledRows(*whole.Raster(), rows))
        __builtin_trap();
}

}  // namespace fuzzcheck

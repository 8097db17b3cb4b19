// Size limits for untrusted pictures, kept in one place.
#pragma once

#include <cstdint>

namespace corvalin {

// No raster may exceed 2^31 - 1 bytes; larger requests fail before allocation.
inline constexpr int64_t kMaxRasterBytes = 0x7FFFFFFF;

// Side data that a reader keeps beside the pixels of one file (text chunks,
// tags, profiles, metafile objects) is charged against this budget.
inline constexpr int64_t kMaxSideDataBytes = 16 << 20;

// Bytes of one row of `width` pixels at `bitsPerPixel`, padded to 4 bytes.
// Throws EOutOfResources when the row alone breaks the raster limit.
int64_t PaddedRowBytes(int64_t width, int bitsPerPixel);

// Throws EOutOfResources when a width x height raster at bitsPerPixel would
// exceed the raster limit (or either side is negative); returns its byte size.
int64_t CheckedRasterBytes(int64_t width, int64_t height, int bitsPerPixel);

}  // namespace corvalin

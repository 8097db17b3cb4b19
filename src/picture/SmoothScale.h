// Smooth scaling of a whole raster: a separable Lanczos-3 filter.
#pragma once

#include <cstdint>
#include <memory>

#include "picture/Raster.h"

namespace corvalin {

// The whole source scaled to width x height with a Lanczos-3 filter, first
// along the rows, then down the columns. Target position x samples the
// source around (x + 0.5) / scale - 0.5; when shrinking, the filter is
// widened by the factor so that every source pixel contributes. The values
// are filtered as stored (sRGB, not linear light) and, where the source has
// transparent pixels, premultiplied by their opacity, so that transparent
// edges keep their colour. The result is a fresh 24-bit raster, or a 32-bit
// one with alpha for a source with alpha or a transparent palette entry.
// Its size is checked against the raster limit before anything else is
// allocated; the filter's tables grow with the target size, never with the
// source's size squared.
std::shared_ptr<TRaster> ScaleSmoothly(const TRaster& source, int32_t width, int32_t height);

}  // namespace corvalin

// Scaled drawing of one raster into a rectangle of another, nearest neighbour.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "picture/Graphic.h"
#include "picture/Raster.h"

namespace corvalin {

// The source position that scaling sourceSize positions to targetSize
// samples for target position t: floor(t * sourceSize / targetSize).
inline int SampledPosition(int t, int targetSize, int sourceSize)
{
    return int(int64_t(t) * sourceSize / targetSize);
}

// A caller that will scale a picture, unturned, tells its reader how many
// rows the result will have, once the reader knows the picture's size. Only
// a reader that can decode rows alone asks, and it then delivers just the
// rows the scaling samples: its row t is the picture's row
// SampledPosition(t, rows, height), and scaling that to the same number of
// rows takes each row once, so the result is the same. An answer of 0, or of
// the height or more, asks for every row.
using TRowRequest = std::function<int32_t(int32_t width, int32_t height)>;

// Draws the whole source into rect of target. Each target pixel takes one
// source pixel (no blending); a 1-bit source combines the pixels that
// collapse into one with a logical AND of their indexes, so index 0 wins.
// Pixels of the transparent colour, when given, are not drawn.
void StretchRaster(TRaster& target, const TRect& rect, const TRaster& source,
                   std::optional<TColor> transparent);

}  // namespace corvalin

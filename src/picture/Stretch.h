// Scaled drawing of one raster into a rectangle of another, nearest neighbour.
#pragma once

#include <optional>

#include "picture/Graphic.h"
#include "picture/Raster.h"
#include "picture/RowSampling.h"

namespace corvalin {

// Draws the whole source into rect of target. Each target pixel takes one
// source pixel (no blending); a 1-bit source combines the pixels that
// collapse into one with a logical AND of their indexes, so index 0 wins.
// Pixels of the transparent colour, when given, are not drawn. A target with
// alpha takes the source's alpha with its colour (opaque from a source
// without); a target without alpha gets a source with alpha blended over it.
void StretchRaster(TRaster& target, const TRect& rect, const TRaster& source,
                   std::optional<TColor> transparent);

}  // namespace corvalin

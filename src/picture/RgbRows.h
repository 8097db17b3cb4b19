// Rows of interleaved red, green, blue (and opacity) bytes, the layout the
// camera and web formats' libraries give and take, turned from and into the
// raster's blue-first rows.
#pragma once

#include <cstdint>

#include "picture/Raster.h"

namespace corvalin {

// Writes raster.width pixels of row y as R, G, B or, withAlpha, R, G, B, A
// (255 where the raster has no opacity).
void RowToRgb(const TRaster& raster, int y, uint8_t* out, bool withAlpha);

// Sets row y of a 24-bit raster from R, G, B, or of a 32-bit one from
// R, G, B, A.
void RowFromRgb(TRaster& raster, int y, const uint8_t* in);

}  // namespace corvalin

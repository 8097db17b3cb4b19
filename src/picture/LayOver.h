// Laying one colour over a pixel of any raster: the text's antialiased edges,
// a box and a logo, each at an opacity.
#pragma once

#include <cstdint>

#include "picture/Color.h"
#include "picture/Raster.h"

namespace corvalin {

// Lays color over the pixel at (x, y); ignored outside the raster.
// `coverage` is how much of the pixel the shape covers: on 24- and 32-bit
// rasters the colour is mixed with what the pixel shows (over the backdrop
// when it has alpha) and the pixel becomes opaque; on the others a pixel
// covered by half or more takes the colour. `opacity` then lays that result
// over the pixel: mixed with its colour, and on a raster with alpha
// composited over its alpha. Coverage and opacity 255 write the colour as it
// is; an indexed raster takes the nearest palette entry.
void LayOver(TRaster& raster, int x, int y, TColor color, uint8_t coverage, uint8_t opacity);

// Whether LayOver mixes colours on this raster (24 bits, plain 32 bits).
bool MixesColours(const TRaster& raster);

}  // namespace corvalin

// How a picture with transparent parts changes its colour depth.
#pragma once

#include "picture/Raster.h"
#include "picture/RowCodec.h"

namespace corvalin {

// Fills target (a fresh raster of the new depth with its default palette)
// from a source with alpha or a transparent palette entry: 32 bits keep the
// alpha; 4 and 8 bits give up their least used entry to mark the pixels of
// alpha below 128, when there are such; every other depth, and the rest of
// the pixels, take the colours over the backdrop.
void ConvertWithAlpha(const TRaster& source, TRaster& target, TPaletteMatch match);

}  // namespace corvalin

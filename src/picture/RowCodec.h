// Whole-row conversion between any raster layout and plain BGR triples, the
// common currency of the hot paths (scaling, rotation, pixel-format changes).
#pragma once

#include <cstdint>

#include "picture/Raster.h"

namespace corvalin {

enum class TPaletteMatch {
    Nearest,    // nearest palette entry by squared distance
    Luminance,  // black/white by luminance, threshold at the middle
};

// Writes raster.width BGR triples for row y (the colours alone, also where
// pixels are transparent).
void DecodeRowToBgr(const TRaster& raster, int y, uint8_t* bgr);
// Row y as BGR triples: the row itself for a 24-bit raster, else decoded
// into scratch (raster.width triples).
const uint8_t* RowAsBgr(const TRaster& raster, int y, uint8_t* scratch);
// Sets row y from raster.width BGR triples, each to the nearest representable
// colour; opaque in a raster with alpha, never the transparent palette entry.
void EncodeRowFromBgr(TRaster& raster, int y, const uint8_t* bgr,
                      TPaletteMatch match = TPaletteMatch::Nearest);

// Writes raster.width BGRA quadruples for row y: the raster's own alpha,
// 0 for the transparent palette entry, else 255.
void DecodeRowToBgra(const TRaster& raster, int y, uint8_t* bgra);
// Sets row y from raster.width BGRA quadruples: a raster with alpha keeps
// them, one with a transparent palette entry takes it for alpha below 128
// and the colour over the backdrop elsewhere, any other raster takes the
// colours over the backdrop.
void EncodeRowFromBgra(TRaster& raster, int y, const uint8_t* bgra, TPaletteMatch match = TPaletteMatch::Nearest);

}  // namespace corvalin

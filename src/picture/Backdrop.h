// What transparent parts are shown over where a target cannot keep them:
// formats without transparency, colour depths without room for it, the
// text stamp's antialiased edges.
#pragma once

#include <cstdint>
#include <optional>

#include "picture/Color.h"
#include "picture/Raster.h"

namespace corvalin {

inline constexpr TColor kBackdropColor = clWhite;

// c x a / 255 + backdrop x (255 - a) / 255, rounded.
constexpr uint8_t OverBackdrop(uint8_t c, uint8_t alpha, uint8_t backdrop)
{
    return uint8_t((c * alpha + backdrop * (255 - alpha) + 127) / 255);
}

// Whether a raster with alpha has a pixel of alpha below 255.
bool HasTransparentPixel(const TRaster& raster);
// Takes the fourth byte of a plain 32-bit raster's pixels as alpha when one
// of them is below 255; a picture that is opaque throughout stays opaque.
void MarkAlphaWhenTransparent(TRaster& raster);

// Writes width BGR triples: the BGRA quadruples over the backdrop colour.
void CompositeRowOverBackdrop(const uint8_t* bgra, int width, uint8_t* bgr);

// The raster a writer of a format without transparency stores: the raster
// itself when it has no alpha, else `flattened`, filled with an opaque
// 32-bit copy whose colours lie over the backdrop. A transparent palette
// entry already holds the backdrop colour.
const TRaster& WithoutAlpha(const TRaster& raster, std::optional<TRaster>& flattened);

}  // namespace corvalin

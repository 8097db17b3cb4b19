// The two fixed palettes and nearest-colour searches in them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "picture/Color.h"

namespace corvalin {

const std::array<TColor, 16>& FixedPalette16();
// 6 x 6 x 6 colour cube (levels 0, 51, ..., 255), then 40 grey levels.
const std::array<TColor, 256>& HalftonePalette();
std::vector<TColor> BlackWhitePalette();

// Index of the nearest entry by squared RGB distance; the lower index wins a tie.
// An entry `skip` (when 0..255) is never chosen.
uint8_t NearestIndex(std::span<const TColor> palette, TColor color, int skip = -1);
uint8_t NearestFixed16(uint8_t r, uint8_t g, uint8_t b);
uint8_t NearestHalftone(uint8_t r, uint8_t g, uint8_t b);
// The same for a row of BGR triples.
void NearestHalftoneRow(const uint8_t* bgr, int count, uint8_t* indexes);

bool IsHalftonePalette(const std::vector<TColor>& palette);

}  // namespace corvalin

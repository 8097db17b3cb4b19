// Colour values: a 32-bit number with red in the lowest byte, then green, then blue.
#pragma once

#include <cstdint>

namespace corvalin {

using TColor = uint32_t;

// What ReadPixel answers outside the picture.
inline constexpr TColor kInvalidColor = 0xFFFFFFFF;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b)
{
    return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}
constexpr uint8_t RedOf(TColor c) { return uint8_t(c); }
constexpr uint8_t GreenOf(TColor c) { return uint8_t(c >> 8); }
constexpr uint8_t BlueOf(TColor c) { return uint8_t(c >> 16); }

}  // namespace corvalin

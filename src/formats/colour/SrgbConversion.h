// Bringing a picture's colours from the profile it carries to sRGB, for
// viewers and web pages that ignore profiles.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace corvalin {

struct TRaster;
struct TPictureMetadata;

// Converts the pixels of a 24-bit or 32-bit raster (alpha kept) from
// metadata's RGB colour profile to sRGB with LittleCMS: relative
// colorimetric, black point compensated, 8 bits. The metadata then holds no
// profile and says its pixels are sRGB. A picture without a profile, with an
// sRGB one (IsSrgbProfile), with a profile LittleCMS refuses or one that is
// not RGB, or of another layout, stays as it is. Returns whether it converted. Throws
// EInvalidOperation when this build has no LittleCMS.
bool ConvertToSrgb(TRaster& raster, TPictureMetadata& metadata);

// Whether an RGB profile is sRGB by what it holds: sRGB's colorants, a D50
// or D65 white point and sRGB's curves, within the rounding real sRGB
// profiles differ by, as a matrix and curves without tables; its name does
// not count. False in a build without LittleCMS.
bool IsSrgbProfile(std::span<const uint8_t> profile);

// Turns `width` CMYK quadruples of ink amounts (0 none, 255 full) into BGR
// triples.
using TCmykRowConversion = std::function<void(const uint8_t* cmyk, int width, uint8_t* bgr)>;

// The conversion of a CMYK reader's rows through the picture's CMYK colour
// profile to sRGB, as ConvertToSrgb converts RGB; empty for a profile that
// is not CMYK, that LittleCMS refuses, or in a build without LittleCMS (the
// reader then turns inks into RGB by its formula).
TCmykRowConversion CmykToSrgbThrough(std::span<const uint8_t> profile);

}  // namespace corvalin

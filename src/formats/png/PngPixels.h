// How PNG sample layouts map onto the picture's pixels: the decoded picture
// holds 1, 4 or 8-bit indices or 24-bit blue-green-red pixels, plus one alpha
// byte per pixel for the colour types with an alpha channel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corvalin {

enum TPngColorType : uint8_t {
    ctGrey = 0, ctRgb = 2, ctPalette = 3, ctGreyAlpha = 4, ctRgbAlpha = 6
};

// One row layout per accepted colour type and bit depth.
enum class TSampleLayout {
    Indexed,      // grey or palette at 1, 4 or 8 bits: copied
    Palette2,     // 2-bit index v -> 4-bit index v
    Grey2,        // 2-bit grey v -> 4-bit index 5 v
    Grey16,       // high byte as 8-bit index
    Rgb8, Rgb16,
    GreyAlpha8, GreyAlpha16,
    RgbAlpha8, RgbAlpha16,
};

using TGammaTable = std::array<uint8_t, 256>;

// Whether the colour type and bit depth form an accepted combination.
bool IsAcceptedFormat(uint8_t colorType, uint8_t bitDepth);
// Only for accepted combinations:
TSampleLayout LayoutOf(uint8_t colorType, uint8_t bitDepth);
int PictureBitsOf(uint8_t colorType, uint8_t bitDepth);
bool HasAlphaPlane(uint8_t colorType);
size_t StoredRowBytes(uint8_t colorType, uint8_t bitDepth, uint32_t width);
size_t FilterStep(uint8_t colorType, uint8_t bitDepth);

// Converts `count` stored pixels into packed picture pixels and, for the
// alpha layouts, alpha bytes. Colour samples pass through `gamma`.
void StoredToPicture(TSampleLayout layout, const uint8_t* stored, size_t count, int pictureBits,
                     const TGammaTable& gamma, uint8_t* picture, uint8_t* alpha);

// Alpha 0 for each of `count` stored grey or RGB pixels whose samples are
// the transparent ones (`key`, as tRNS gives them), 255 for the others.
void TransparentSamplesToAlpha(uint8_t colorType, uint8_t bitDepth, const uint8_t* stored, size_t count,
                               const std::array<uint16_t, 3>& key, uint8_t* alpha);

// The reverse for writing at the picture's own depth: indices copied,
// colours through `inverseGamma` into red-green-blue order.
void PictureToStored(uint8_t colorType, const uint8_t* picture, const uint8_t* alpha, size_t count,
                     int pictureBits, const TGammaTable& inverseGamma, uint8_t* stored);

// Copies `count` pixels of `bits` each from a packed row into the columns
// x0, x0 + dx, ... of `row`, and back.
void ScatterPixels(const uint8_t* packed, size_t count, int bits, uint8_t* row, size_t x0, size_t dx);
void GatherPixels(const uint8_t* row, size_t x0, size_t dx, size_t count, int bits, uint8_t* packed);

}  // namespace corvalin

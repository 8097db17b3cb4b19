// Windows bitmap file data: the header description the reader fills before
// any pixel is touched, and the run-length decoder.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "picture/Raster.h"

namespace corvalin {

enum BmpCompression : uint32_t { biRGB = 0, biRLE8 = 1, biRLE4 = 2, biBitFields = 3 };

struct BmpHeader {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0;  // negative: rows stored top-down
    uint16_t planes = 0;
    uint16_t bitsPerPixel = 0;
    uint32_t compression = 0;
    uint32_t imageSize = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t colorsUsed = 0;
    uint32_t importantColors = 0;
    std::array<uint32_t, 3> masks{};
    uint32_t alphaMask = 0;  // of a version 3 or later header
    bool os2 = false;
};

// What a BMP file's headers say, read without its pixels.
struct TBmpFacts {
    BmpHeader header;
    // A 32-bit picture's alpha mask is usable: its pixels may carry opacity.
    bool alphaMask = false;
    // An uncompressed file ends before its pixels do.
    bool cutShort = false;
};
// Throws EInvalidGraphic for what the reader refuses by its headers alone.
TBmpFacts ReadBmpFacts(std::span<const uint8_t> file);

// Decodes RLE8 or RLE4 pixel data into a 32-bit raster whose rows are
// already allocated; pixels the data skips stay as they are. Reads never
// leave `data`, writes never leave the raster.
void DecodeBmpRle(std::span<const uint8_t> data, uint32_t compression,
                  const std::vector<TColor>& palette, bool bottomUp, TRaster& raster);

// A packed device-independent bitmap of the raster, as metafile records carry
// it: an information header (never the old core header), the colour table and
// the rows bottom-up; transparent parts lie over the backdrop.
std::vector<uint8_t> EncodeDib(const TRaster& raster);

}  // namespace corvalin

// The pixel store that pictures share. Rows are kept top row first in memory,
// each padded to a multiple of 4 bytes. What a file format says beyond the
// pixels travels beside the raster (see BmpDescription.h), not in it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/LargeBlocks.h"
#include "picture/Color.h"
#include "picture/PixelFormat.h"

namespace corvalin {

struct TRaster {
    int32_t width = 0;
    int32_t height = 0;
    TPixelFormat format = TPixelFormat::pfDevice;
    int bitsPerPixel = 32;
    // Red, green, blue masks of a 16- or 32-bit raster with bit fields (all 0 without).
    std::array<uint32_t, 3> masks{};
    size_t stride = 0;
    TLargeBytes pixels;
    std::vector<TColor> palette;
    // A 32-bit raster whose fourth byte of each pixel (blue, green, red, alpha)
    // is straight, not premultiplied, opacity. Every other raster is opaque.
    bool hasAlpha = false;
    // The palette entry of an indexed raster that marks transparent pixels
    // (-1: none). It holds the backdrop colour (picture/Backdrop.h), so that
    // whoever reads the palette alone shows those pixels over it.
    int transparentIndex = -1;

    bool HasMasks() const { return masks[0] != 0 || masks[1] != 0 || masks[2] != 0; }
    uint8_t* Row(int y) { return pixels.data() + size_t(y) * stride; }
    const uint8_t* Row(int y) const { return pixels.data() + size_t(y) * stride; }

    // A zero-filled raster; checks the size against the raster limit first.
    static std::shared_ptr<TRaster> Create(int32_t width, int32_t height, TPixelFormat format,
                                           int bitsPerPixel = 0);
    // A raster whose rows a decoder writes whole or not at all: its pixels
    // are left as allocated, so a damaged file declaring a huge picture
    // costs only the rows decoded before the damage shows. Call
    // ClearRowPadding once the rows are written.
    static std::shared_ptr<TRaster> CreateUncleared(int32_t width, int32_t height, TPixelFormat format);
    // Zeroes the bytes after each row's last pixel, which no decoder writes.
    void ClearRowPadding();
};

// Reads and writes one pixel of any layout as a colour value.
TColor ReadRasterPixel(const TRaster& raster, int x, int y);
void WriteRasterPixel(TRaster& raster, int x, int y, TColor color);

// The bit fields of a 16- or 32-bit raster (5-5-5 or 8-8-8 without masks),
// analysed once so that whole rows convert without redoing it per pixel.
class TMaskLayout {
public:
    explicit TMaskLayout(const TRaster& raster);
    TColor Decode(uint32_t value) const;
    uint32_t Encode(uint8_t r, uint8_t g, uint8_t b) const;

private:
    struct Channel {
        uint32_t mask = 0;
        int shift = 0;
        int bits = 0;
    };
    static Channel Analyse(uint32_t mask);
    static uint8_t Expand(uint32_t value, const Channel& channel);
    static uint32_t Reduce(uint8_t component, const Channel& channel);
    std::array<Channel, 3> channels_;
};

}  // namespace corvalin

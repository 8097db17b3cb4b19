#include "picture/Raster.h"

#include <algorithm>
#include <bit>

#include "common/Exceptions.h"
#include "common/Limits.h"
#include "picture/Palettes.h"

namespace corvalin {

int StorageBitsOf(TPixelFormat format)
{
    switch (format) {
    case TPixelFormat::pf1bit: return 1;
    case TPixelFormat::pf4bit: return 4;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit: return 16;
    case TPixelFormat::pf24bit: return 24;
    case TPixelFormat::pf32bit:
    case TPixelFormat::pfDevice: return 32;
    case TPixelFormat::pfCustom: return 0;
    }
    return 0;
}

namespace {

std::shared_ptr<TRaster> Allocate(int32_t width, int32_t height, TPixelFormat format, int bitsPerPixel, bool cleared)
{
    if (bitsPerPixel == 0)
        bitsPerPixel = StorageBitsOf(format);
    const int64_t bytes = CheckedRasterBytes(width, height, bitsPerPixel);
    auto raster = std::make_shared<TRaster>();
    raster->width = width;
    raster->height = height;
    raster->format = format;
    raster->bitsPerPixel = bitsPerPixel;
    raster->stride = size_t(PaddedRowBytes(width, bitsPerPixel));
    try {
        if (cleared)
            raster->pixels.assign(size_t(bytes), 0);
        else
            raster->pixels.resize(size_t(bytes));
    } catch (const std::bad_alloc&) {
        throw EOutOfResources(msg::OutOfResources);
    }
    if (format == TPixelFormat::pf16bit)
        raster->masks = {0xF800, 0x07E0, 0x001F};
    return raster;
}

}  // namespace

std::shared_ptr<TRaster> TRaster::Create(int32_t width, int32_t height, TPixelFormat format, int bitsPerPixel)
{
    return Allocate(width, height, format, bitsPerPixel, true);
}

std::shared_ptr<TRaster> TRaster::CreateUncleared(int32_t width, int32_t height, TPixelFormat format)
{
    return Allocate(width, height, format, 0, false);
}

void TRaster::ClearRowPadding()
{
    const size_t used = (size_t(width) * size_t(bitsPerPixel) + 7) / 8;
    for (int y = 0; y < height && used < stride; ++y)
        std::fill(Row(y) + used, Row(y) + stride, uint8_t(0));
}

namespace {

std::array<uint32_t, 3> MasksOf(const TRaster& raster)
{
    if (raster.HasMasks())
        return raster.masks;
    if (raster.bitsPerPixel == 16)
        return {0x7C00, 0x03E0, 0x001F};
    return {0xFF0000, 0x00FF00, 0x0000FF};
}

uint32_t ReadPacked(const uint8_t* row, int x, int bits)
{
    const size_t bit = size_t(x) * bits;
    return (row[bit / 8] >> (8 - bits - int(bit % 8))) & ((1u << bits) - 1);
}

void WritePacked(uint8_t* row, int x, int bits, uint32_t value)
{
    const size_t bit = size_t(x) * bits;
    const int shift = 8 - bits - int(bit % 8);
    const uint8_t mask = uint8_t(((1u << bits) - 1) << shift);
    row[bit / 8] = uint8_t((row[bit / 8] & ~mask) | ((value << shift) & mask));
}

}  // namespace

TMaskLayout::TMaskLayout(const TRaster& raster)
{
    const auto masks = MasksOf(raster);
    for (size_t i = 0; i < 3; ++i)
        channels_[i] = Analyse(masks[i]);
}

TMaskLayout::Channel TMaskLayout::Analyse(uint32_t mask)
{
    if (mask == 0)
        return {};
    const int shift = std::countr_zero(mask);
    return {mask, shift, std::popcount(mask >> shift)};
}

uint8_t TMaskLayout::Expand(uint32_t value, const Channel& channel)
{
    if (channel.bits == 0)
        return 0;
    const int bits = channel.bits;
    const uint32_t v = (value & channel.mask) >> channel.shift;
    if (bits >= 8)
        return uint8_t(v >> (bits - 8));
    // Replicate the top bits into the low ones so that full scale maps to 255.
    uint32_t out = 0;
    for (int filled = 0; filled < 8; filled += bits)
        out = (out << bits) | v;
    return uint8_t(out >> (((8 + bits - 1) / bits) * bits - 8));
}

uint32_t TMaskLayout::Reduce(uint8_t component, const Channel& channel)
{
    if (channel.bits == 0)
        return 0;
    const int bits = channel.bits;
    const uint32_t v = bits >= 8 ? uint32_t(component) << (bits - 8) : uint32_t(component) >> (8 - bits);
    return (v << channel.shift) & channel.mask;
}

TColor TMaskLayout::Decode(uint32_t value) const
{
    return RGB(Expand(value, channels_[0]), Expand(value, channels_[1]), Expand(value, channels_[2]));
}

uint32_t TMaskLayout::Encode(uint8_t r, uint8_t g, uint8_t b) const
{
    return Reduce(r, channels_[0]) | Reduce(g, channels_[1]) | Reduce(b, channels_[2]);
}

TColor ReadRasterPixel(const TRaster& raster, int x, int y)
{
    const uint8_t* row = raster.Row(y);
    switch (raster.bitsPerPixel) {
    case 1:
    case 2:
    case 4:
    case 8: {
        const uint32_t index = raster.bitsPerPixel == 8 ? row[x] : ReadPacked(row, x, raster.bitsPerPixel);
        return index < raster.palette.size() ? raster.palette[index] : clBlack;
    }
    case 16:
        return TMaskLayout(raster).Decode(uint32_t(row[2 * x]) | uint32_t(row[2 * x + 1]) << 8);
    case 24:
        return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    case 32:
        if (raster.HasMasks() && raster.format == TPixelFormat::pfCustom) {
            const uint8_t* p = row + 4 * x;
            return TMaskLayout(raster).Decode(uint32_t(p[0]) | uint32_t(p[1]) << 8 |
                                              uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
        }
        return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    default:
        return clBlack;
    }
}

void WriteRasterPixel(TRaster& raster, int x, int y, TColor color)
{
    uint8_t* row = raster.Row(y);
    const uint8_t r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
    switch (raster.bitsPerPixel) {
    case 1:
    case 2:
    case 4:
    case 8: {
        const uint8_t index = NearestIndex(raster.palette, color, raster.transparentIndex);
        if (raster.bitsPerPixel == 8)
            row[x] = index;
        else
            WritePacked(row, x, raster.bitsPerPixel, index);
        return;
    }
    case 16: {
        const uint32_t v = TMaskLayout(raster).Encode(r, g, b);
        row[2 * x] = uint8_t(v);
        row[2 * x + 1] = uint8_t(v >> 8);
        return;
    }
    case 24:
        row[3 * x] = b;
        row[3 * x + 1] = g;
        row[3 * x + 2] = r;
        return;
    case 32:
        if (raster.HasMasks() && raster.format == TPixelFormat::pfCustom) {
            const uint32_t v = TMaskLayout(raster).Encode(r, g, b);
            for (int i = 0; i < 4; ++i)
                row[4 * x + i] = uint8_t(v >> (8 * i));
            return;
        }
        row[4 * x] = b;
        row[4 * x + 1] = g;
        row[4 * x + 2] = r;
        row[4 * x + 3] = raster.hasAlpha ? 255 : 0;
        return;
    default:
        return;
    }
}

}  // namespace corvalin

#include "picture/RowCodec.h"

#include <cstring>

#include "picture/Backdrop.h"
#include "picture/Palettes.h"

namespace corvalin {

namespace {

void DecodeIndexed(const TRaster& raster, const uint8_t* row, uint8_t* bgr)
{
    const int bits = raster.bitsPerPixel;
    const uint32_t mask = (1u << bits) - 1;
    for (int x = 0; x < raster.width; ++x) {
        const size_t bit = size_t(x) * bits;
        const uint32_t index = (row[bit / 8] >> (8 - bits - int(bit % 8))) & mask;
        const TColor c = index < raster.palette.size() ? raster.palette[index] : clBlack;
        bgr[3 * x] = BlueOf(c);
        bgr[3 * x + 1] = GreenOf(c);
        bgr[3 * x + 2] = RedOf(c);
    }
}

// 16-bit pixels, or 32-bit ones with bit fields, as little-endian values.
uint32_t MaskedValue(const uint8_t* row, int x, int bytesPerPixel)
{
    uint32_t value = 0;
    for (int i = bytesPerPixel - 1; i >= 0; --i)
        value = value << 8 | row[x * bytesPerPixel + i];
    return value;
}

void DecodeMasked(const TRaster& raster, const uint8_t* row, uint8_t* bgr)
{
    const TMaskLayout layout(raster);
    const int bytes = raster.bitsPerPixel / 8;
    for (int x = 0; x < raster.width; ++x) {
        const TColor c = layout.Decode(MaskedValue(row, x, bytes));
        bgr[3 * x] = BlueOf(c);
        bgr[3 * x + 1] = GreenOf(c);
        bgr[3 * x + 2] = RedOf(c);
    }
}

void EncodeMasked(const TRaster& raster, uint8_t* row, const uint8_t* bgr)
{
    const TMaskLayout layout(raster);
    const int bytes = raster.bitsPerPixel / 8;
    for (int x = 0; x < raster.width; ++x) {
        const uint32_t value = layout.Encode(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
        for (int i = 0; i < bytes; ++i)
            row[x * bytes + i] = uint8_t(value >> (8 * i));
    }
}

bool IsPlain32(const TRaster& raster)
{
    return raster.bitsPerPixel == 32 && !(raster.format == TPixelFormat::pfCustom && raster.HasMasks());
}

void PackIndexes(uint8_t* row, int width, int bits, const uint8_t* indexes)
{
    if (bits == 8) {
        std::memcpy(row, indexes, size_t(width));
        return;
    }
    const int perByte = 8 / bits;
    for (int x = 0; x < width; x += perByte) {
        uint8_t byte = 0;
        for (int k = 0; k < perByte; ++k) {
            const uint8_t v = x + k < width ? indexes[x + k] : 0;
            byte = uint8_t(byte | (v << (8 - bits * (k + 1))));
        }
        row[x / perByte] = byte;
    }
}

uint8_t MatchIndex(const TRaster& raster, TPaletteMatch match, uint8_t b, uint8_t g, uint8_t r)
{
    if (match == TPaletteMatch::Luminance)
        return (r * 299 + g * 587 + b * 114) >= 128 * 1000 ? 1 : 0;
    return NearestIndex(raster.palette, RGB(r, g, b), raster.transparentIndex);
}

uint32_t IndexAt(const uint8_t* row, int x, int bits)
{
    const size_t bit = size_t(x) * bits;
    return (row[bit / 8] >> (8 - bits - int(bit % 8))) & ((1u << bits) - 1);
}

void SetIndexAt(uint8_t* row, int x, int bits, uint32_t index)
{
    const size_t bit = size_t(x) * bits;
    const int shift = 8 - bits - int(bit % 8);
    const uint8_t mask = uint8_t(((1u << bits) - 1) << shift);
    row[bit / 8] = uint8_t((row[bit / 8] & ~mask) | ((index << shift) & mask));
}

bool IsIndexed(const TRaster& raster)
{
    return raster.bitsPerPixel <= 8;
}

void EncodeIndexed(TRaster& raster, uint8_t* row, const uint8_t* bgr, TPaletteMatch match)
{
    if (raster.bitsPerPixel == 8 && raster.transparentIndex < 0 && IsHalftonePalette(raster.palette)) {
        NearestHalftoneRow(bgr, raster.width, row);
        return;
    }
    const bool fixed16 = raster.bitsPerPixel == 4 && raster.transparentIndex < 0 && raster.palette.size() == 16 &&
                         std::memcmp(raster.palette.data(), FixedPalette16().data(), 16 * sizeof(TColor)) == 0;
    thread_local std::vector<uint8_t> indexes;
    indexes.resize(size_t(raster.width));
    for (int x = 0; x < raster.width; ++x) {
        const uint8_t b = bgr[3 * x], g = bgr[3 * x + 1], r = bgr[3 * x + 2];
        indexes[x] = fixed16 ? NearestFixed16(r, g, b) : MatchIndex(raster, match, b, g, r);
    }
    PackIndexes(row, raster.width, raster.bitsPerPixel, indexes.data());
}

}  // namespace

void DecodeRowToBgr(const TRaster& raster, int y, uint8_t* bgr)
{
    const uint8_t* row = raster.Row(y);
    switch (raster.bitsPerPixel) {
    case 24:
        std::memcpy(bgr, row, size_t(raster.width) * 3);
        return;
    case 32:
        if (IsPlain32(raster)) {
            for (int x = 0; x < raster.width; ++x) {
                bgr[3 * x] = row[4 * x];
                bgr[3 * x + 1] = row[4 * x + 1];
                bgr[3 * x + 2] = row[4 * x + 2];
            }
            return;
        }
        DecodeMasked(raster, row, bgr);
        return;
    case 16:
        DecodeMasked(raster, row, bgr);
        return;
    default:
        DecodeIndexed(raster, row, bgr);
        return;
    }
}

const uint8_t* RowAsBgr(const TRaster& raster, int y, uint8_t* scratch)
{
    if (raster.bitsPerPixel == 24)
        return raster.Row(y);
    DecodeRowToBgr(raster, y, scratch);
    return scratch;
}

void EncodeRowFromBgr(TRaster& raster, int y, const uint8_t* bgr, TPaletteMatch match)
{
    uint8_t* row = raster.Row(y);
    switch (raster.bitsPerPixel) {
    case 24:
        std::memcpy(row, bgr, size_t(raster.width) * 3);
        return;
    case 32:
        if (IsPlain32(raster)) {
            const uint8_t opaque = raster.hasAlpha ? 255 : 0;
            for (int x = 0; x < raster.width; ++x) {
                row[4 * x] = bgr[3 * x];
                row[4 * x + 1] = bgr[3 * x + 1];
                row[4 * x + 2] = bgr[3 * x + 2];
                row[4 * x + 3] = opaque;
            }
            return;
        }
        [[fallthrough]];
    case 16:
        EncodeMasked(raster, row, bgr);
        return;
    default:
        EncodeIndexed(raster, row, bgr, match);
        return;
    }
}

void DecodeRowToBgra(const TRaster& raster, int y, uint8_t* bgra)
{
    if (raster.hasAlpha) {
        std::memcpy(bgra, raster.Row(y), size_t(raster.width) * 4);
        return;
    }
    thread_local std::vector<uint8_t> bgr;
    bgr.resize(size_t(raster.width) * 3);
    DecodeRowToBgr(raster, y, bgr.data());
    const bool marked = IsIndexed(raster) && raster.transparentIndex >= 0;
    const uint8_t* row = raster.Row(y);
    for (int x = 0; x < raster.width; ++x) {
        std::memcpy(bgra + 4 * x, bgr.data() + 3 * x, 3);
        const bool transparent = marked && IndexAt(row, x, raster.bitsPerPixel) == uint32_t(raster.transparentIndex);
        bgra[4 * x + 3] = transparent ? 0 : 255;
    }
}

void EncodeRowFromBgra(TRaster& raster, int y, const uint8_t* bgra, TPaletteMatch match)
{
    if (raster.hasAlpha) {
        std::memcpy(raster.Row(y), bgra, size_t(raster.width) * 4);
        return;
    }
    thread_local std::vector<uint8_t> bgr;
    bgr.resize(size_t(raster.width) * 3);
    CompositeRowOverBackdrop(bgra, raster.width, bgr.data());
    EncodeRowFromBgr(raster, y, bgr.data(), match);
    if (!IsIndexed(raster) || raster.transparentIndex < 0)
        return;
    uint8_t* row = raster.Row(y);
    for (int x = 0; x < raster.width; ++x)
        if (bgra[4 * x + 3] < 128)
            SetIndexAt(row, x, raster.bitsPerPixel, uint32_t(raster.transparentIndex));
}

}  // namespace corvalin

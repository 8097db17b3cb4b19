#include "formats/png/PngPixels.h"

#include <cstring>

namespace corvalin {

bool IsAcceptedFormat(uint8_t colorType, uint8_t bitDepth)
{
    switch (colorType) {
    case ctGrey: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case ctPalette: return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case ctRgb:
    case ctGreyAlpha:
    case ctRgbAlpha: return bitDepth == 8 || bitDepth == 16;
    default: return false;
    }
}

TSampleLayout LayoutOf(uint8_t colorType, uint8_t bitDepth)
{
    const bool wide = bitDepth == 16;
    switch (colorType) {
    case ctGrey:
        return bitDepth == 2 ? TSampleLayout::Grey2 : wide ? TSampleLayout::Grey16 : TSampleLayout::Indexed;
    case ctPalette: return bitDepth == 2 ? TSampleLayout::Palette2 : TSampleLayout::Indexed;
    case ctRgb: return wide ? TSampleLayout::Rgb16 : TSampleLayout::Rgb8;
    case ctGreyAlpha: return wide ? TSampleLayout::GreyAlpha16 : TSampleLayout::GreyAlpha8;
    default: return wide ? TSampleLayout::RgbAlpha16 : TSampleLayout::RgbAlpha8;
    }
}

int PictureBitsOf(uint8_t colorType, uint8_t bitDepth)
{
    if (colorType == ctRgb || colorType == ctRgbAlpha)
        return 24;
    if (colorType == ctGreyAlpha || bitDepth >= 8)
        return 8;
    return bitDepth == 1 ? 1 : 4;
}

bool HasAlphaPlane(uint8_t colorType)
{
    return colorType == ctGreyAlpha || colorType == ctRgbAlpha;
}

namespace {

size_t SamplesPerPixel(uint8_t colorType)
{
    switch (colorType) {
    case ctRgb: return 3;
    case ctGreyAlpha: return 2;
    case ctRgbAlpha: return 4;
    default: return 1;
    }
}

}  // namespace

size_t StoredRowBytes(uint8_t colorType, uint8_t bitDepth, uint32_t width)
{
    return (size_t(width) * bitDepth * SamplesPerPixel(colorType) + 7) / 8;
}

size_t FilterStep(uint8_t colorType, uint8_t bitDepth)
{
    const size_t bits = bitDepth * SamplesPerPixel(colorType);
    return bits < 8 ? 1 : bits / 8;
}

namespace {

// Colour pixels: `step` bytes per stored pixel, `sample` bytes per sample
// (the first byte of a 16-bit sample is the high byte).
void ColorToBgr(const uint8_t* stored, size_t count, size_t step, size_t sample, const TGammaTable& gamma,
                uint8_t* bgr, uint8_t* alpha)
{
    for (size_t i = 0; i < count; ++i, stored += step, bgr += 3) {
        bgr[0] = gamma[stored[2 * sample]];
        bgr[1] = gamma[stored[sample]];
        bgr[2] = gamma[stored[0]];
        if (alpha != nullptr)
            alpha[i] = stored[3 * sample];
    }
}

void GreyWithAlpha(const uint8_t* stored, size_t count, size_t sample, uint8_t* index, uint8_t* alpha)
{
    for (size_t i = 0; i < count; ++i, stored += 2 * sample) {
        index[i] = stored[0];
        alpha[i] = stored[sample];
    }
}

// Two-bit samples widened to four-bit indices; `scale` is 1 for palette
// indices and 5 for grey levels (ramp entries 0, 5, 10, 15).
void Widen2To4(const uint8_t* stored, size_t count, uint8_t scale, uint8_t* picture)
{
    for (size_t i = 0; i < count; ++i) {
        const uint8_t v = uint8_t((stored[i / 4] >> (6 - 2 * (i % 4))) & 3);
        uint8_t& out = picture[i / 2];
        if (i % 2 == 0)
            out = uint8_t((v * scale) << 4);
        else
            out = uint8_t(out | (v * scale));
    }
}

void CopyIndices(const uint8_t* stored, size_t count, int bits, uint8_t* picture)
{
    const size_t totalBits = count * size_t(bits);
    std::memcpy(picture, stored, totalBits / 8);
    if (totalBits % 8 != 0) {
        // Only the row's own pixels; the rest of the last byte stays zero.
        const uint8_t keep = uint8_t(0xFF00 >> (totalBits % 8));
        picture[totalBits / 8] = stored[totalBits / 8] & keep;
    }
}

}  // namespace

void StoredToPicture(TSampleLayout layout, const uint8_t* stored, size_t count, int pictureBits,
                     const TGammaTable& gamma, uint8_t* picture, uint8_t* alpha)
{
    switch (layout) {
    case TSampleLayout::Indexed: CopyIndices(stored, count, pictureBits, picture); break;
    case TSampleLayout::Palette2: Widen2To4(stored, count, 1, picture); break;
    case TSampleLayout::Grey2: Widen2To4(stored, count, 5, picture); break;
    case TSampleLayout::Grey16:
        for (size_t i = 0; i < count; ++i)
            picture[i] = stored[2 * i];
        break;
    case TSampleLayout::Rgb8: ColorToBgr(stored, count, 3, 1, gamma, picture, nullptr); break;
    case TSampleLayout::Rgb16: ColorToBgr(stored, count, 6, 2, gamma, picture, nullptr); break;
    case TSampleLayout::GreyAlpha8: GreyWithAlpha(stored, count, 1, picture, alpha); break;
    case TSampleLayout::GreyAlpha16: GreyWithAlpha(stored, count, 2, picture, alpha); break;
    case TSampleLayout::RgbAlpha8: ColorToBgr(stored, count, 4, 1, gamma, picture, alpha); break;
    case TSampleLayout::RgbAlpha16: ColorToBgr(stored, count, 8, 2, gamma, picture, alpha); break;
    }
}

namespace {

uint16_t SampleAt(const uint8_t* stored, size_t n, uint8_t bitDepth)
{
    if (bitDepth == 16)
        return uint16_t(stored[2 * n] << 8 | stored[2 * n + 1]);
    if (bitDepth == 8)
        return stored[n];
    const size_t bit = n * bitDepth;
    return uint16_t((stored[bit / 8] >> (8 - bitDepth - bit % 8)) & ((1u << bitDepth) - 1));
}

}  // namespace

void TransparentSamplesToAlpha(uint8_t colorType, uint8_t bitDepth, const uint8_t* stored, size_t count,
                               const std::array<uint16_t, 3>& key, uint8_t* alpha)
{
    const size_t samples = colorType == ctRgb ? 3 : 1;
    for (size_t i = 0; i < count; ++i) {
        bool transparent = true;
        for (size_t s = 0; s < samples; ++s)
            transparent = transparent && SampleAt(stored, i * samples + s, bitDepth) == key[s];
        alpha[i] = transparent ? 0 : 255;
    }
}

void PictureToStored(uint8_t colorType, const uint8_t* picture, const uint8_t* alpha, size_t count,
                     int pictureBits, const TGammaTable& inverseGamma, uint8_t* stored)
{
    switch (colorType) {
    case ctGrey:
    case ctPalette: CopyIndices(picture, count, pictureBits, stored); break;
    case ctGreyAlpha:
        for (size_t i = 0; i < count; ++i) {
            stored[2 * i] = picture[i];
            stored[2 * i + 1] = alpha[i];
        }
        break;
    default: {
        const size_t step = colorType == ctRgbAlpha ? 4 : 3;
        for (size_t i = 0; i < count; ++i, picture += 3, stored += step) {
            stored[0] = inverseGamma[picture[2]];
            stored[1] = inverseGamma[picture[1]];
            stored[2] = inverseGamma[picture[0]];
            if (step == 4)
                stored[3] = alpha[i];
        }
        break;
    }
    }
}

void ScatterPixels(const uint8_t* packed, size_t count, int bits, uint8_t* row, size_t x0, size_t dx)
{
    if (bits >= 8) {
        const size_t bytes = size_t(bits) / 8;
        for (size_t i = 0; i < count; ++i)
            std::memcpy(row + (x0 + i * dx) * bytes, packed + i * bytes, bytes);
        return;
    }
    const unsigned mask = (1u << bits) - 1;
    for (size_t i = 0; i < count; ++i) {
        const size_t from = i * size_t(bits);
        const unsigned value = (packed[from / 8] >> (8 - bits - from % 8)) & mask;
        const size_t to = (x0 + i * dx) * size_t(bits);
        const int shift = int(8 - bits - to % 8);
        row[to / 8] = uint8_t((row[to / 8] & ~(mask << shift)) | (value << shift));
    }
}

void GatherPixels(const uint8_t* row, size_t x0, size_t dx, size_t count, int bits, uint8_t* packed)
{
    if (bits >= 8) {
        const size_t bytes = size_t(bits) / 8;
        for (size_t i = 0; i < count; ++i)
            std::memcpy(packed + i * bytes, row + (x0 + i * dx) * bytes, bytes);
        return;
    }
    const unsigned mask = (1u << bits) - 1;
    std::memset(packed, 0, (count * size_t(bits) + 7) / 8);
    for (size_t i = 0; i < count; ++i) {
        const size_t from = (x0 + i * dx) * size_t(bits);
        const unsigned value = (row[from / 8] >> (8 - bits - from % 8)) & mask;
        const size_t to = i * size_t(bits);
        packed[to / 8] = uint8_t(packed[to / 8] | (value << (8 - bits - to % 8)));
    }
}

}  // namespace corvalin

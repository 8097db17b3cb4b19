#include "formats/reader/ColorManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace corvalin {

namespace {

constexpr const char* kInvalidBits = "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
constexpr const char* kInvalidSamples = "Sample count per pixel does not correspond to the given color scheme.";
constexpr const char* kInvalidSubsampling = "Subsampling value is invalid. Allowed are 1, 2 and 4.";
constexpr const char* kVerticalSubsampling = "Vertical subsampling value must be <= horizontal subsampling value.";
constexpr const char* kIndexedMix = "Conversion between indexed and non-indexed pixel formats is not supported.";
constexpr const char* kNoMethod = "Color conversion failed. Could not find a proper method.";

bool IsIndexedFamily(TColorScheme scheme)
{
    return scheme == TColorScheme::csIndexed || scheme == TColorScheme::csG || scheme == TColorScheme::csGA;
}

bool HasAlphaSample(TColorScheme scheme)
{
    return scheme == TColorScheme::csGA || scheme == TColorScheme::csRGBA || scheme == TColorScheme::csBGRA;
}

uint32_t WithSchemeAlpha(uint32_t options, TColorScheme scheme)
{
    return HasAlphaSample(scheme) ? options | coAlpha : options & ~uint32_t(coAlpha);
}

bool Selected(uint8_t mask, size_t pixel)
{
    return mask == 0xFF || ((mask >> (7 - (pixel & 7))) & 1) != 0;
}

// Sample i of width `bits` in a row packed from the most significant bit;
// 16-bit samples in the byte order the swap flag names.
uint32_t ReadSample(const uint8_t* row, size_t i, int bits, bool swap)
{
    switch (bits) {
    case 8:
        return row[i];
    case 16:
        return swap ? uint32_t(row[2 * i]) << 8 | row[2 * i + 1] : uint32_t(row[2 * i + 1]) << 8 | row[2 * i];
    default: {
        const size_t bit = i * size_t(bits);
        // Up to 16 bits starting anywhere in a byte span at most three bytes.
        uint32_t window = 0;
        const size_t first = bit / 8;
        const size_t last = (bit + size_t(bits) - 1) / 8;
        for (size_t b = first; b <= last; ++b)
            window = window << 8 | row[b];
        const size_t used = (last - first + 1) * 8;
        return (window >> (used - (bit % 8) - size_t(bits))) & ((1u << bits) - 1);
    }
    }
}

void WriteSample(uint8_t* row, size_t i, int bits, uint32_t value)
{
    switch (bits) {
    case 8:
        row[i] = uint8_t(value);
        return;
    case 16:
        row[2 * i] = uint8_t(value);
        row[2 * i + 1] = uint8_t(value >> 8);
        return;
    default: {
        for (int k = 0; k < bits; ++k) {
            const size_t bit = i * size_t(bits) + size_t(k);
            const uint8_t flag = uint8_t(0x80 >> (bit % 8));
            if ((value >> (bits - 1 - k)) & 1)
                row[bit / 8] |= flag;
            else
                row[bit / 8] &= uint8_t(~flag);
        }
    }
    }
}

uint32_t MaxOf(int bits)
{
    return (1u << bits) - 1;
}

// Red, green, blue and alpha positions of a target pixel.
struct TTargetLayout {
    int r, g, b, a;  // a < 0: no alpha sample
    int stride;
};

TTargetLayout LayoutOf(TColorScheme scheme, uint8_t samples)
{
    const bool rgb = scheme == TColorScheme::csRGB || scheme == TColorScheme::csRGBA;
    const int alpha = samples >= 4 ? 3 : -1;
    return rgb ? TTargetLayout{0, 1, 2, alpha, samples} : TTargetLayout{2, 1, 0, alpha, samples};
}

uint8_t Clamp255(int32_t v)
{
    return uint8_t(std::clamp(v, 0, 255));
}

}  // namespace

TColorManager::TColorManager() = default;

void TColorManager::SetSourceOptions(uint32_t options)
{
    options = WithSchemeAlpha(options, sourceScheme_);
    if (options != sourceOptions_) {
        sourceOptions_ = options;
        Changed();
    }
}

void TColorManager::SetTargetOptions(uint32_t options)
{
    options = WithSchemeAlpha(options, targetScheme_);
    if (options != targetOptions_) {
        targetOptions_ = options;
        Changed();
    }
}

void TColorManager::SetSourceBitsPerSample(uint8_t bits)
{
    if (bits == 0 || bits > 16)
        throw EColorConversionError(kInvalidBits);
    if (bits != sourceBits_) {
        sourceBits_ = bits;
        Changed();
    }
}

void TColorManager::SetTargetBitsPerSample(uint8_t bits)
{
    if (bits == 0 || bits > 16)
        throw EColorConversionError(kInvalidBits);
    if (bits != targetBits_) {
        targetBits_ = bits;
        Changed();
    }
}

void TColorManager::SetSourceSamplesPerPixel(uint8_t samples)
{
    if (samples == 0 || samples > 4)
        throw EColorConversionError(kInvalidSamples);
    if (samples != sourceSamples_) {
        sourceSamples_ = samples;
        Changed();
    }
}

void TColorManager::SetTargetSamplesPerPixel(uint8_t samples)
{
    if (samples == 0 || samples > 4)
        throw EColorConversionError(kInvalidSamples);
    if (samples != targetSamples_) {
        targetSamples_ = samples;
        Changed();
    }
}

void TColorManager::SetSourceColorScheme(TColorScheme scheme)
{
    if (scheme != sourceScheme_) {
        sourceScheme_ = scheme;
        sourceOptions_ = WithSchemeAlpha(sourceOptions_, scheme);
        Changed();
    }
}

void TColorManager::SetTargetColorScheme(TColorScheme scheme)
{
    if (scheme != targetScheme_) {
        targetScheme_ = scheme;
        targetOptions_ = WithSchemeAlpha(targetOptions_, scheme);
        Changed();
    }
}

void TColorManager::SetYCbCrParameters(const std::array<float, 3>& luma, uint8_t horizontal, uint8_t vertical)
{
    for (uint8_t v : {horizontal, vertical})
        if (v != 1 && v != 2 && v != 4)
            throw EColorConversionError(kInvalidSubsampling);
    if (vertical > horizontal)
        throw EColorConversionError(kVerticalSubsampling);
    if (luma != luma_ || subsampling_ != std::array<uint8_t, 2>{horizontal, vertical}) {
        luma_ = luma;
        subsampling_ = {horizontal, vertical};
        Changed();
    }
}

void TColorManager::SetLabWhitePoint(const TChromaticity& white)
{
    lab_.SetWhite(white);
}

TPixelFormat TColorManager::TargetPixelFormat() const
{
    const int b = targetBits_;
    switch (targetSamples_) {
    case 1:
        if (b == 1)
            return TPixelFormat::pf1bit;
        if (b <= 4)
            return TPixelFormat::pf4bit;
        if (b >= 8)
            return TPixelFormat::pf8bit;
        return TPixelFormat::pfCustom;
    case 3:
        return b <= 5 ? TPixelFormat::pf15bit : TPixelFormat::pf24bit;
    case 4:
        return b >= 8 ? TPixelFormat::pf32bit : TPixelFormat::pfCustom;
    default:
        return TPixelFormat::pfCustom;
    }
}

void TColorManager::ChooseConverter()
{
    const bool targetIndexed = targetScheme_ == TColorScheme::csIndexed || targetScheme_ == TColorScheme::csG;
    // Grey with alpha keeps its alpha only in a colour target.
    const bool sourceIndexed =
        IsIndexedFamily(sourceScheme_) && !(sourceScheme_ == TColorScheme::csGA && !targetIndexed);
    if (sourceIndexed != targetIndexed)
        throw EColorConversionError(kIndexedMix);
    const int s = sourceBits_, t = targetBits_;
    bool fits = false;
    switch (sourceScheme_) {
    case TColorScheme::csIndexed:
        fits = true;
        break;
    case TColorScheme::csG:
        fits = (s != 16 && t != 16) || (s >= 8 && t >= 8);
        break;
    case TColorScheme::csGA:
        fits = (s == 8 || s == 16) && (t == 8 || t == 16) && sourceSamples_ >= 2;
        break;
    case TColorScheme::csRGB: case TColorScheme::csRGBA: case TColorScheme::csBGR:
    case TColorScheme::csBGRA: case TColorScheme::csCIELab: case TColorScheme::csYCbCr:
    case TColorScheme::csPhotoYCC:
        fits = sourceSamples_ >= 3;
        break;
    case TColorScheme::csCMYK:
        fits = sourceSamples_ >= 4;
        break;
    default:  // CMY and no scheme have no converter
        break;
    }
    if (!sourceIndexed) {
        const bool colourTarget = targetScheme_ == TColorScheme::csRGB || targetScheme_ == TColorScheme::csRGBA ||
                                  targetScheme_ == TColorScheme::csBGR || targetScheme_ == TColorScheme::csBGRA;
        fits = fits && colourTarget && t == 8 && targetSamples_ >= 3;
        if (fits && (sourceScheme_ == TColorScheme::csRGBA || sourceScheme_ == TColorScheme::csBGRA) &&
            sourceSamples_ < 4)
            throw EColorConversionError(kInvalidSamples);
    }
    if (!fits)
        throw EColorConversionError(kNoMethod);
    if (sourceScheme_ == TColorScheme::csYCbCr || sourceScheme_ == TColorScheme::csPhotoYCC)
        BuildYccTables();
    converter_ = sourceIndexed ? TConverter::Indexed : TConverter::Colour;
}

void TColorManager::BuildYccTables()
{
    const bool photo = sourceScheme_ == TColorScheme::csPhotoYCC;
    const double offsetRed = photo ? 137 : 128;   // applies to Cr, the second chroma sample
    const double offsetBlue = photo ? 156 : 128;  // applies to Cb, the first
    const double kr = luma_[0], kg = luma_[1], kb = luma_[2];
    const double cr = 2 - 2 * kr, cb = 2 - 2 * kb;
    const double gr = kg != 0 ? kr * cr / kg : 0, gb = kg != 0 ? kb * cb / kg : 0;
    for (int i = 0; i < 256; ++i) {
        crToRed_[i] = int32_t(std::lround(cr * (i - offsetRed)));
        cbToBlue_[i] = int32_t(std::lround(cb * (i - offsetBlue)));
        crToGreen_[i] = -int32_t(std::lround(gr * (i - offsetRed)));
        cbToGreen_[i] = -int32_t(std::lround(gb * (i - offsetBlue)));
    }
}

void TColorManager::ConvertPixels(std::span<const uint8_t* const> sources, uint8_t mask, size_t count,
                                  uint8_t* target)
{
    if (sources.empty() || count == 0)
        return;
    if (converter_ == TConverter::Unchosen)
        ChooseConverter();
    if (converter_ == TConverter::Indexed)
        ConvertIndexedRow(sources[0], sources.size() > 1 ? 1 : sourceSamples_, mask, count, target);
    else
        ConvertColourRow(GatherSamples8(sources, count), mask, count, target);
}

// Indexed, grey and grey with alpha: the first sample of every pixel (step
// samples apart; in planes, the first plane), scaled
// from the source to the target depth. Palette indexes widened into more
// bits keep their value; every other change of depth scales.
void TColorManager::ConvertIndexedRow(const uint8_t* source, size_t step, uint8_t mask, size_t count,
                                      uint8_t* target) const
{
    const int s = sourceBits_, t = targetBits_;
    const bool swap = (sourceOptions_ & coNeedByteSwap) != 0;
    if (s == t && step == 1 && mask == 0xFF && !(s == 16 && swap)) {
        std::memcpy(target, source, (count * size_t(s) + 7) / 8);
        return;
    }
    if (s == 8 && t == 8 && mask == 0xFF) {
        for (size_t i = 0; i < count; ++i)
            target[i] = source[i * step];
        return;
    }
    const bool keep = sourceScheme_ == TColorScheme::csIndexed && s < t;
    const uint32_t sourceMax = MaxOf(s), targetMax = MaxOf(t);
    for (size_t i = 0; i < count; ++i) {
        if (!Selected(mask, i))
            continue;
        const uint32_t v = ReadSample(source, i * step, s, swap);
        WriteSample(target, i, t, keep || s == t ? v : uint32_t(uint64_t(v) * targetMax / sourceMax));
    }
}

// The samples of count pixels as interleaved 8-bit values: planes joined,
// 16-bit samples reduced as v x 255 / 65535 (after the byte swap), other
// depths scaled onto 0..255.
const uint8_t* TColorManager::GatherSamples8(std::span<const uint8_t* const> sources, size_t count)
{
    const size_t n = sourceSamples_;
    const bool planar = sources.size() > 1;
    if (!planar && sourceBits_ == 8)
        return sources[0];
    if (planar && sources.size() < n)
        throw EColorConversionError(kInvalidSamples);
    gathered_.resize(count * n);
    const bool swap = (sourceOptions_ & coNeedByteSwap) != 0;
    const int bits = sourceBits_;
    const uint32_t max = MaxOf(bits);
    uint8_t* out = gathered_.data();
    for (size_t k = 0; k < n; ++k) {
        const uint8_t* plane = planar ? sources[k] : sources[0];
        for (size_t i = 0; i < count; ++i) {
            const size_t index = planar ? i : i * n + k;
            const uint32_t v = ReadSample(plane, index, bits, swap);
            out[i * n + k] = bits == 8 ? uint8_t(v) : uint8_t(v * 255 / max);
        }
    }
    return out;
}

void TColorManager::ConvertColourRow(const uint8_t* p, uint8_t mask, size_t count, uint8_t* target) const
{
    const TTargetLayout out = LayoutOf(targetScheme_, targetSamples_);
    const size_t n = sourceSamples_;
    const bool alphaIn = (sourceOptions_ & coAlpha) != 0;
    auto put = [&](size_t i, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
        uint8_t* q = target + i * size_t(out.stride);
        q[out.r] = r;
        q[out.g] = g;
        q[out.b] = b;
        if (out.a >= 0)
            q[out.a] = a;
    };
    switch (sourceScheme_) {
    case TColorScheme::csGA:
        for (size_t i = 0; i < count; ++i, p += n)
            if (Selected(mask, i))
                put(i, p[0], p[0], p[0], p[1]);
        return;
    case TColorScheme::csRGB: case TColorScheme::csRGBA:
        if (n == 3 && out.stride == 3 && out.r == 2 && mask == 0xFF) {
            for (size_t i = 0; i < count; ++i, p += 3, target += 3) {
                target[0] = p[2];
                target[1] = p[1];
                target[2] = p[0];
            }
            return;
        }
        for (size_t i = 0; i < count; ++i, p += n)
            if (Selected(mask, i))
                put(i, p[0], p[1], p[2], alphaIn ? p[3] : 0xFF);
        return;
    case TColorScheme::csBGR: case TColorScheme::csBGRA:
        for (size_t i = 0; i < count; ++i, p += n)
            if (Selected(mask, i))
                put(i, p[2], p[1], p[0], alphaIn ? p[3] : 0xFF);
        return;
    case TColorScheme::csCMYK:
        for (size_t i = 0; i < count; ++i, p += n) {
            if (!Selected(mask, i))
                continue;
            const int k = p[3];
            auto component = [k](int x) { return Clamp255(255 - (x - x * k / 255 + k)); };
            put(i, component(p[0]), component(p[1]), component(p[2]), 0xFF);
        }
        return;
    case TColorScheme::csCIELab: {
        const bool byteRange = (sourceOptions_ & coLabByteRange) != 0;
        const bool offset = (sourceOptions_ & coLabChromaOffset) != 0;
        for (size_t i = 0; i < count; ++i, p += n) {
            if (!Selected(mask, i))
                continue;
            const float l = byteRange ? p[0] / 2.55f : p[0];
            const float a = offset ? p[1] - 128.0f : float(int8_t(p[1]));
            const float b = offset ? p[2] - 128.0f : float(int8_t(p[2]));
            uint8_t rgb[3];
            lab_.Convert(l, a, b, rgb);
            put(i, rgb[0], rgb[1], rgb[2], 0xFF);
        }
        return;
    }
    case TColorScheme::csYCbCr: case TColorScheme::csPhotoYCC:
        for (size_t i = 0; i < count; ++i, p += n) {
            if (!Selected(mask, i))
                continue;
            const int32_t y = p[0], cb = p[1], cr = p[2];
            put(i, Clamp255(y + crToRed_[cr]), Clamp255(y + crToGreen_[cr] + cbToGreen_[cb]),
                Clamp255(y + cbToBlue_[cb]), 0xFF);
        }
        return;
    default:
        throw EColorConversionError(kNoMethod);
    }
}

std::vector<TColor> TColorManager::MakeGreyPalette(bool minIsWhite) const
{
    const int totalBits = int(targetSamples_) * int(targetBits_);
    if (totalBits > 255)
        throw ERangeError(msg::RangeError);
    const int n = 1 << std::min(totalBits, 8);
    const int step = 255 / (n - 1);
    std::vector<TColor> palette(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const auto grey = uint8_t(i * step);
        palette[size_t(minIsWhite ? n - 1 - i : i)] = RGB(grey, grey, grey);
    }
    return palette;
}

std::vector<TColor> TColorManager::MakeColorPalette(std::span<const uint8_t* const> data, TPaletteLayout layout,
                                                    size_t count, bool rgb) const
{
    count = std::min<size_t>(count, 256);
    const bool planes = layout == TPaletteLayout::Plane8Triple || layout == TPaletteLayout::Plane16Triple;
    if (data.empty() || (planes && data.size() < 3))
        throw EColorConversionError(kInvalidSamples);
    const bool wide = layout == TPaletteLayout::Interleaved16Triple || layout == TPaletteLayout::Interleaved16Quad ||
                      layout == TPaletteLayout::Plane16Triple;
    const size_t step = layout == TPaletteLayout::Interleaved8Quad || layout == TPaletteLayout::Interleaved16Quad ? 4
                        : planes ? 1 : 3;
    const bool swap = (sourceOptions_ & coNeedByteSwap) != 0;
    auto value = [&](size_t entry, size_t component) -> uint8_t {
        const uint8_t* base = planes ? data[component] : data[0];
        const size_t index = planes ? entry : entry * step + component;
        return wide ? uint8_t(ReadSample(base, index, 16, swap) * 255 / 65535) : base[index];
    };
    std::vector<TColor> palette(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t first = value(i, 0), second = value(i, 1), third = value(i, 2);
        palette[i] = rgb ? RGB(first, second, third) : RGB(third, second, first);
    }
    return palette;
}

}  // namespace corvalin

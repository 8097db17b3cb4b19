// TColorManager: turns one row of a file's samples (any scheme, 1 to 16
// bits, interleaved or one plane per sample) into one row of a bitmap's
// scan line. The settings choose a converter once; every row after that
// runs a plain loop over its pixels.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "common/Exceptions.h"
#include "formats/reader/ImageProperties.h"
#include "formats/reader/LabToRgb.h"
#include "picture/Color.h"
#include "picture/PixelFormat.h"

namespace corvalin {

class EColorConversionError : public Exception {
public:
    using Exception::Exception;
};

// Source and target options.
enum TConvertOption : uint32_t {
    coAlpha = 1,            // the last sample is alpha
    coApplyGamma = 2,       // never set by these readers
    coNeedByteSwap = 4,     // 16-bit samples are stored big-endian
    coLabByteRange = 8,     // L* is stored as 0..255 rather than 0..100
    coLabChromaOffset = 16  // a* and b* are stored with 128 added, not as signed bytes
};

// How MakeColorPalette finds its entries.
enum class TPaletteLayout {
    Interleaved8Triple, Interleaved8Quad, Plane8Triple,
    Interleaved16Triple, Interleaved16Quad, Plane16Triple
};

class TColorManager {
public:
    TColorManager();

    uint32_t SourceOptions() const { return sourceOptions_; }
    uint32_t TargetOptions() const { return targetOptions_; }
    uint8_t SourceBitsPerSample() const { return sourceBits_; }
    uint8_t SourceSamplesPerPixel() const { return sourceSamples_; }
    TColorScheme SourceColorScheme() const { return sourceScheme_; }
    uint8_t TargetBitsPerSample() const { return targetBits_; }
    uint8_t TargetSamplesPerPixel() const { return targetSamples_; }
    TColorScheme TargetColorScheme() const { return targetScheme_; }

    // The alpha option follows the scheme and is set or cleared with it.
    void SetSourceOptions(uint32_t options);
    void SetTargetOptions(uint32_t options);
    // 1 to 16, else EColorConversionError.
    void SetSourceBitsPerSample(uint8_t bits);
    void SetTargetBitsPerSample(uint8_t bits);
    // 1 to 4, else EColorConversionError.
    void SetSourceSamplesPerPixel(uint8_t samples);
    void SetTargetSamplesPerPixel(uint8_t samples);
    void SetSourceColorScheme(TColorScheme scheme);
    void SetTargetColorScheme(TColorScheme scheme);
    // Luma weights of red, green and blue, and the chroma subsampling (1, 2
    // or 4 each, vertical at most horizontal) for YCbCr and Photo YCC.
    void SetYCbCrParameters(const std::array<float, 3>& luma, uint8_t horizontal, uint8_t vertical);
    std::array<uint8_t, 2> Subsampling() const { return subsampling_; }
    // The white of CIE L*a*b* samples (D65 unless a reader says otherwise).
    void SetLabWhitePoint(const TChromaticity& white);

    // The bitmap layout that holds the target samples; pfCustom when none does.
    TPixelFormat TargetPixelFormat() const;

    // Converts count pixels. One source pointer means interleaved samples,
    // several mean one plane per sample (at least as many as the scheme
    // uses). Pixel i is converted when bit 7 - i mod 8 of mask is set.
    // Each source holds at least the bytes of count pixels; target at least
    // the bytes of count target pixels.
    void ConvertPixels(std::span<const uint8_t* const> sources, uint8_t mask, size_t count,
                       uint8_t* target);

    // A grey ramp of 2^min(target bits x samples, 8) entries, reversed when
    // minimum is white.
    std::vector<TColor> MakeGreyPalette(bool minIsWhite) const;
    // count entries (at most 256) from the layout's one pointer (interleaved)
    // or three pointers (planes); each holds count entries. rgb false means
    // blue, green, red order.
    std::vector<TColor> MakeColorPalette(std::span<const uint8_t* const> data, TPaletteLayout layout,
                                         size_t count, bool rgb) const;

private:
    enum class TConverter { Unchosen, Indexed, Colour };

    void Changed() { converter_ = TConverter::Unchosen; }
    void ChooseConverter();
    void BuildYccTables();
    void ConvertIndexedRow(const uint8_t* source, size_t step, uint8_t mask, size_t count, uint8_t* target) const;
    const uint8_t* GatherSamples8(std::span<const uint8_t* const> sources, size_t count);
    void ConvertColourRow(const uint8_t* samples, uint8_t mask, size_t count, uint8_t* target) const;

    uint32_t sourceOptions_ = 0;
    uint32_t targetOptions_ = 0;
    uint8_t sourceBits_ = 8;
    uint8_t sourceSamples_ = 3;
    TColorScheme sourceScheme_ = TColorScheme::csRGB;
    uint8_t targetBits_ = 8;
    uint8_t targetSamples_ = 3;
    TColorScheme targetScheme_ = TColorScheme::csBGR;
    std::array<float, 3> luma_{0.299f, 0.587f, 0.114f};
    std::array<uint8_t, 2> subsampling_{1, 1};
    TLabToRgb lab_;

    TConverter converter_ = TConverter::Unchosen;
    // YCbCr and Photo YCC: red from Cr, blue from Cb, and green's two terms.
    std::array<int32_t, 256> crToRed_{}, cbToBlue_{}, crToGreen_{}, cbToGreen_{};
    std::vector<uint8_t> gathered_;
};

}  // namespace corvalin

// TPSDGraphic: the composite picture of a Photoshop document (PSD, PDD), the
// planar image data at the end of the file; layers are never read. Bitmap,
// grey, duotone, indexed, RGB, multichannel, CMYK and Lab documents of 1, 8
// or 16 bits, raw or PackBits.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "formats/colour/SrgbConversion.h"
#include "formats/metadata/PictureMetadata.h"
#include "formats/reader/ReaderGraphic.h"

namespace corvalin {

class TPsdRows;

class TPSDGraphic : public TReaderGraphic {
public:
    // "Cannot load image. Invalid or unexpected PSD or PDD image format."
    // for a file that is not a Photoshop document.
    void LoadFromBytes(std::span<const uint8_t> file) override;
    bool ReadPictureInfo(std::span<const uint8_t> file, uint32_t index) override;
    // Also the document's layer count.
    TSourceReport SourceReport() const override;
    // The colour profile, XMP and IPTC of the image resources.
    static TPictureMetadata ReadMetadata(std::span<const uint8_t> file);
    // A CMYK document of 8 or 16 bits loaded next turns its inks into RGB
    // by `conversion` rather than the colour manager's formula.
    void ConvertCmykThrough(TCmykRowConversion conversion) { cmykThrough_ = std::move(conversion); }
    // Whether the last load used that conversion.
    bool ConvertedThroughProfile() const { return convertedThrough_; }

private:
    void Load(std::span<const uint8_t> file);
    void SetUpColorManager();
    void ConvertRows(TPsdRows& rows, size_t planes, size_t rowBytes);
    bool ConvertsInksThroughProfile() const;
    // One row of ink planes (8 or 16 bits a sample) to BGR through the profile.
    void ConvertInkRow(const std::vector<const uint8_t*>& planes, size_t sampleBytes, std::vector<uint8_t>& inks,
                       uint8_t* scan) const;
    uint16_t colorMode_ = 0;
    uint16_t channels_ = 0;
    uint32_t layers_ = 0;
    TCmykRowConversion cmykThrough_;
    bool convertedThrough_ = false;
};

// The format table's PSD load path through the CMYK profile (see
// TFormatRow::LoadCmykToSrgb): as LoadThroughReader<TPSDGraphic>, a CMYK
// document's inks brought to sRGB through its CMYK profile, which the
// metadata then no longer holds.
size_t LoadPsdCmykToSrgb(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata);

}  // namespace corvalin

// TPSDGraphic: the composite picture of a Photoshop document (PSD, PDD), the
// planar image data at the end of the file; layers are never read. Bitmap,
// grey, duotone, indexed, RGB, multichannel, CMYK and Lab documents of 1, 8
// or 16 bits, raw or PackBits.
#pragma once

#include <cstdint>
#include <span>

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

private:
    void Load(std::span<const uint8_t> file);
    void SetUpColorManager();
    void ConvertRows(TPsdRows& rows, size_t planes, size_t rowBytes);
    uint16_t colorMode_ = 0;
    uint16_t channels_ = 0;
    uint32_t layers_ = 0;
};

}  // namespace corvalin

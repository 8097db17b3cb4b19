// TPCDGraphic: Kodak Photo CD image packs, read at the base resolution of
// 768 x 512 (the uncompressed picture at sector 96) and turned upright when
// the pack says the picture is in portrait orientation. An overview file
// (PCD_OPA) gives its first 192 x 128 thumbnail.
#pragma once

#include <cstdint>
#include <span>

#include "formats/reader/ReaderGraphic.h"

namespace corvalin {

// The resolution a load reads (768 x 512).
inline constexpr uint32_t kPcdLoadedResolution = 2;

class TPCDGraphic : public TReaderGraphic {
public:
    // A file that is neither an image pack nor an overview file leaves an
    // empty picture and raises nothing.
    void LoadFromBytes(std::span<const uint8_t> file) override;
    // Index is the resolution (0: 192 x 128, 1: 384 x 256, 2: 768 x 512, ...).
    bool ReadPictureInfo(std::span<const uint8_t> file, uint32_t index) override;
    // Also that the file is an image pack or overview file.
    TSourceReport SourceReport() const override;

private:
    void Load(std::span<const uint8_t> file);
};

}  // namespace corvalin

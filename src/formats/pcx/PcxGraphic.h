// TPCXGraphic: ZSoft Paintbrush pictures (and the SCR screen captures of the
// same layout): 1, 2, 4 and 8 bits in one plane, EGA's four planes of one
// bit, and 24 bits as three planes of eight, run-length encoded or raw.
#pragma once

#include <cstdint>
#include <span>

#include "formats/reader/ReaderGraphic.h"

namespace corvalin {

class TPCXGraphic : public TReaderGraphic {
public:
    // A file whose first byte is neither 10 (PCX) nor 205 (SCR) leaves an
    // empty picture and raises nothing.
    void LoadFromBytes(std::span<const uint8_t> file) override;
    bool ReadPictureInfo(std::span<const uint8_t> file, uint32_t index) override;

private:
    void Load(std::span<const uint8_t> file);
};

}  // namespace corvalin

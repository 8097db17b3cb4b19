// TIFF's LZW: codes of 9 to 12 bits packed most significant bit first,
// clear code 256, end code 257, and the code width growing one code early
// (at 511, 1023 and 2047 table entries). Every strip or tile starts afresh.
// GIF's LZW differs in bit order, width change and initial code size, and
// has its own decoder.
#pragma once

#include <array>
#include <cstdint>

#include "formats/reader/Decoder.h"

namespace corvalin {

class TTIFFLZWDecoder : public TDecoder {
public:
    size_t DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked) override;

private:
    static constexpr size_t kTableSize = 4096;
    void Reset();
    // Writes the string of `code` at out (cut at the end of the output).
    void Emit(uint32_t code, std::span<uint8_t> unpacked, size_t& out) const;

    // Every entry is its prefix's string plus one byte; first and length
    // let a string be written back to front in one pass.
    std::array<uint16_t, kTableSize> prefix_{};
    std::array<uint8_t, kTableSize> suffix_{};
    std::array<uint8_t, kTableSize> first_{};
    std::array<uint16_t, kTableSize> length_{};
};

}  // namespace corvalin

// ThunderScan 4-bit grey (compression 32809). Every byte holds a 2-bit code
// in its top bits: 0 repeats the last value (count in the low 6 bits); 1
// adds three 2-bit deltas; 2 adds two 3-bit deltas; 3 sets the value from
// the low 4 bits. Each row starts from 0 and holds exactly `width` pixels,
// two per byte with the first in the high nibble.
#pragma once

#include <cstdint>

#include "formats/reader/Decoder.h"

namespace corvalin {

class TThunderDecoder : public TDecoder {
public:
    explicit TThunderDecoder(int32_t width);
    size_t DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked) override;

private:
    size_t width_;
};

}  // namespace corvalin

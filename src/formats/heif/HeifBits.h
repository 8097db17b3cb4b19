// Bits of a coded picture's headers read most significant first, as HEVC
// parameter sets and AV1 sequence headers are written; a read past the end
// throws EInvalidGraphic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace corvalin {

class THeifBits {
public:
    explicit THeifBits(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    // The next `count` bits (at most 32) as a number.
    uint32_t Bits(int count);
    bool Flag() { return Bits(1) != 0; }
    void Skip(size_t count);
    // An unsigned Exp-Golomb number (HEVC's ue(v)).
    uint32_t ExpGolomb();

private:
    std::span<const uint8_t> bytes_;
    size_t position_ = 0;  // in bits
};

}  // namespace corvalin

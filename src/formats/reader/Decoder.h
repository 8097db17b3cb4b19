// TDecoder: the block decoders of the reader family. A reader hands one
// block of packed bytes (a strip, a tile, a row) and the room its unpacked
// bytes fill; a decoder never reads or writes outside either span.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/Exceptions.h"

namespace corvalin {

class EGraphicCompression : public Exception {
public:
    using Exception::Exception;
};

class TDecoder {
public:
    virtual ~TDecoder() = default;
    // Unpacks one block; returns how many bytes of `unpacked` it filled.
    // Bytes it did not reach are left as they were.
    virtual size_t DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked) = 0;
    // Called once before the first block and once after the last.
    virtual void DecodeInit() {}
    virtual void DecodeEnd() {}
};

// PackBits as Apple published it: a signed header byte n copies the next
// n + 1 bytes (0..127) or repeats the next byte 1 - n times (-1..-127);
// -128 is skipped.
class TPackbitsRLEDecoder : public TDecoder {
public:
    size_t DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked) override;
};

}  // namespace corvalin

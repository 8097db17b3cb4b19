// The run-length scheme of PCX files: a byte of 192 or more repeats the next
// byte (its low six bits give the count), any other byte stands for itself.
// A whole picture is one stream, so runs may cross row boundaries.
#pragma once

#include "formats/reader/Decoder.h"

namespace corvalin {

class TPCXRLEDecoder : public TDecoder {
public:
    // Fills `unpacked` as far as the packed bytes reach; never reads past
    // `packed` even when its last byte announces a run.
    size_t DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked) override;
};

}  // namespace corvalin

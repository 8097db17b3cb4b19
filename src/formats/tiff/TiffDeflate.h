// Deflate-compressed strips and tiles (compression 8 and 32946): each block
// is a complete zlib stream, inflated by zlib.
#pragma once

#include <zlib.h>

#include "formats/reader/Decoder.h"

namespace corvalin {

class TLZ77Decoder : public TDecoder {
public:
    TLZ77Decoder() = default;
    ~TLZ77Decoder() override;
    TLZ77Decoder(const TLZ77Decoder&) = delete;
    TLZ77Decoder& operator=(const TLZ77Decoder&) = delete;

    // "LZ77 decompression error." when zlib cannot start or end a stream.
    void DecodeInit() override;
    void DecodeEnd() override;
    // Damaged data keeps what was inflated before the damage.
    size_t DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked) override;

private:
    z_stream stream_{};
    bool open_ = false;
};

}  // namespace corvalin

// CCITT one-dimensional fax coding (ITU-T T.4 modified Huffman) as TIFF
// stores it: compression 2 (rows byte-aligned), 32771 (rows word-aligned)
// and 3 (group 3, rows introduced by end-of-line codes). Black runs set
// bits, white runs leave zeros, most significant bit first.
#pragma once

#include <cstdint>

#include "formats/reader/Decoder.h"

namespace corvalin {

class TCCITTDecoder : public TDecoder {
public:
    TCCITTDecoder(uint32_t group3Options, int32_t width);

protected:
    class TBitReader;
    // Decodes one row; false when the input ends or holds no valid code.
    // eol says whether the row was ended by an end-of-line code.
    bool DecodeRow(TBitReader& bits, uint8_t* row, bool& eol) const;

    uint32_t options_;
    int32_t width_;
    size_t rowBytes_;
};

class TCCITTMHDecoder : public TCCITTDecoder {
public:
    TCCITTMHDecoder(uint32_t group3Options, int32_t width, bool wordAligned);
    size_t DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked) override;

private:
    bool wordAligned_;
};

class TCCITTFax3Decoder : public TCCITTDecoder {
public:
    using TCCITTDecoder::TCCITTDecoder;
    size_t DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked) override;
};

}  // namespace corvalin

// GIF's variable-length-code LZW: the decoder that turns an image's joined
// data sub-blocks into rows of colour indices, and the encoder that turns
// rows of indices into the code bytes that go into the sub-blocks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace corvalin {

// Receives `count` decoded indices of stream row `row` (in the order the rows
// are stored, before de-interlacing). count is the image width except for a
// last row cut short by the end of the data.
using TGifRowSink = std::function<void(int32_t row, const uint8_t* indices, int32_t count)>;

// Decodes `data` (the image's sub-blocks without their length bytes) for an
// image of width x height pixels. Decoding stops when all pixels are filled,
// at the end code, when the data run out, or at a code that names no entry
// yet (a damaged block); pixels not reached are left to the caller's fill.
// Without a sink the codes are only followed, not expanded: that checks a
// frame nobody looks at for the one error the decoder reports, a code that
// would have to be built from itself ("Circular decoder table entry").
// Returns the number of pixels decoded.
int64_t DecodeGifLzw(std::span<const uint8_t> data, int minCodeSize, int32_t width, int32_t height,
                     const TGifRowSink& sink);

// Largest minimum code size the decoder accepts: the clear code, the end code
// and at least one free entry must fit into 12-bit codes.
inline constexpr int kGifMaxMinCodeSize = 11;

// Packs LZW codes for indices below 2^minCodeSize (minCodeSize 2..8) into
// bytes, least significant bit first. The clear code comes first; when the
// table is full a clear code resets it, so code 4095 is never assigned.
class TGifLzwEncoder {
public:
    explicit TGifLzwEncoder(int minCodeSize);

    // Feeds the next pixels, rows in order from the top.
    void Encode(const uint8_t* indices, size_t count);
    // Emits the pending prefix and the end code and flushes the last bits.
    void Finish();

    // Code bytes produced so far; the caller may take them between calls.
    std::vector<uint8_t>& Output() { return out_; }

private:
    void ResetTable();
    void Emit(uint32_t code);
    void EmitAndGrow(uint32_t code);

    // Open addressing over 8009 slots: a slot holds key << 12 | code, where the
    // key is prefix * 256 + pixel; an empty slot has all upper 20 bits set.
    static constexpr uint32_t kSlots = 8009;
    static constexpr uint32_t kEmpty = 0xFFFFF000u;
    std::array<uint32_t, kSlots> table_;

    const uint32_t clearCode_;
    const uint32_t endCode_;
    const int initialWidth_;
    int width_;
    uint32_t nextCode_;
    int32_t prefix_ = -1;  // no pending prefix before the first pixel

    uint64_t bits_ = 0;
    int bitCount_ = 0;
    std::vector<uint8_t> out_;
};

}  // namespace corvalin

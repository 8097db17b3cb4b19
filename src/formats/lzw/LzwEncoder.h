// The LZW encoder of the GIF writer: rows of colour indices become the code
// bytes that go into an image's data sub-blocks (GIF's variant of
// formats/lzw/LzwDecoder.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvalin {

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

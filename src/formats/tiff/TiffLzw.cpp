#include "formats/tiff/TiffLzw.h"

#include <algorithm>

namespace corvalin {

namespace {

constexpr uint32_t kClearCode = 256;
constexpr uint32_t kEndCode = 257;
constexpr uint32_t kFirstFree = 258;
constexpr int kMinWidth = 9;
constexpr int kMaxWidth = 12;

}  // namespace

void TTIFFLZWDecoder::Reset()
{
    for (uint32_t i = 0; i < 256; ++i) {
        suffix_[i] = uint8_t(i);
        first_[i] = uint8_t(i);
        length_[i] = 1;
    }
}

void TTIFFLZWDecoder::Emit(uint32_t code, std::span<uint8_t> unpacked, size_t& out) const
{
    const size_t length = length_[code];
    const size_t room = unpacked.size() - out;
    // Characters past the end of the output are walked over, not written.
    for (size_t skip = length > room ? length - room : 0; skip > 0; --skip)
        code = prefix_[code];
    for (size_t i = std::min(length, room); i > 0; --i) {
        unpacked[out + i - 1] = suffix_[code];
        code = prefix_[code];
    }
    out += std::min(length, room);
}

size_t TTIFFLZWDecoder::DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked)
{
    Reset();
    uint64_t bits = 0;
    int bitCount = 0;
    size_t in = 0, out = 0;
    int width = kMinWidth;
    uint32_t next = kFirstFree;
    int32_t previous = -1;
    while (out < unpacked.size()) {
        while (bitCount < width && in < packed.size()) {
            bits = bits << 8 | packed[in++];
            bitCount += 8;
        }
        if (bitCount < width)
            break;
        const uint32_t code = uint32_t(bits >> (bitCount - width)) & ((1u << width) - 1);
        bitCount -= width;
        if (code == kClearCode) {
            next = kFirstFree;
            width = kMinWidth;
            previous = -1;
            continue;
        }
        if (code == kEndCode)
            break;
        if (previous < 0) {
            if (code > 255)
                break;  // a damaged strip: nothing to build on
            Emit(code, unpacked, out);
            previous = int32_t(code);
            continue;
        }
        if (code > next || (code == next && next >= kTableSize))
            break;
        if (next < kTableSize) {
            // The new entry is the previous string plus the first byte of
            // this one, which for the code being defined right now is the
            // previous string's own first byte.
            const auto p = uint32_t(previous);
            prefix_[next] = uint16_t(p);
            suffix_[next] = code == next ? first_[p] : first_[code];
            first_[next] = first_[p];
            length_[next] = uint16_t(std::min<uint32_t>(length_[p] + 1u, 0xFFFF));
            ++next;
            if (next + 1 >= (1u << width) && width < kMaxWidth)
                ++width;
        }
        Emit(code, unpacked, out);
        previous = int32_t(code);
    }
    return out;
}

}  // namespace corvalin

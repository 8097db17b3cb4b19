// The LZW decoder of GIF and TIFF. Both build the same dictionary of
// strings (every entry is an older entry plus one byte) behind literal codes,
// a clear code and an end code, with codes of up to 12 bits; they differ in
// the variant below. The decoder reads one stream at a time and can hand its
// output over in pieces (GIF's rows) or in one block (a TIFF strip or tile).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "formats/reader/Decoder.h"

namespace corvalin {

enum class TLzwBitOrder : uint8_t { LeastSignificantFirst, MostSignificantFirst };

struct TLzwVariant {
    // Literal codes are 0 .. 2^minCodeSize - 1; the clear code and the end
    // code follow them, and the first code is one bit wider.
    int minCodeSize;
    TLzwBitOrder bitOrder;
    // The code width grows one code before the table needs it (TIFF).
    bool earlyChange;
};

// Largest minimum code size: the clear code, the end code and at least one
// free entry must fit into 12-bit codes.
inline constexpr int kLzwMaxMinCodeSize = 11;

constexpr TLzwVariant GifLzw(int minCodeSize)
{
    return {minCodeSize, TLzwBitOrder::LeastSignificantFirst, false};
}
inline constexpr TLzwVariant kTiffLzw{8, TLzwBitOrder::MostSignificantFirst, true};

// Why a stream ended before its output was full.
enum class TLzwStop : uint8_t {
    None,
    EndCode,
    DataUsedUp,
    UnknownCode,    // a code beyond the next free entry: the rest is damaged
    SelfReference,  // the next free entry, with no earlier string to build it from
};

class TLzwDecoder : public TDecoder {
public:
    // minCodeSize 0 .. kLzwMaxMinCodeSize.
    explicit TLzwDecoder(TLzwVariant variant);

    // Starts the stream `data` (kept until the next Start) with a fresh table.
    void Start(std::span<const uint8_t> data);
    // Decodes the next bytes of the stream into `out`, beginning with the
    // rest of a string that the last call cut off. Returns how many bytes it
    // wrote: all of `out` unless the stream ended (see Stopped()).
    size_t Read(std::span<uint8_t> out);
    // Follows the codes for the next `count` bytes without writing them (or
    // walking their strings); returns how many the stream held, at most count.
    uint64_t Skip(uint64_t count);
    TLzwStop Stopped() const { return state_.stop; }

    // One TIFF strip or tile: Start and Read.
    size_t DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked) override;

private:
    static constexpr uint32_t kTableSize = 4096;

    // Every entry is its prefix's string plus one byte; `first` and `length`
    // let a string be written back to front in one pass and counted without
    // being walked at all.
    struct TTable {
        std::array<uint16_t, kTableSize> prefix;
        std::array<uint8_t, kTableSize> suffix;
        std::array<uint8_t, kTableSize> first;
        std::array<uint16_t, kTableSize> length;
    };

    // Everything that changes while a stream is read.
    struct TState {
        const uint8_t* in = nullptr;
        const uint8_t* end = nullptr;
        uint64_t bits = 0;
        int bitCount = 0;
        int width = 0;
        uint32_t next = 0;
        int32_t previous = -1;  // none right after a clear code
        TLzwStop stop = TLzwStop::None;
        // A string that did not fit into the last output: its code, length,
        // and how many of its bytes went out.
        uint32_t cutCode = 0;
        uint32_t cutLength = 0;
        uint32_t cutDone = 0;
    };

    template <TLzwBitOrder kOrder, bool kWrite>
    uint64_t Run(uint8_t* out, uint64_t size);
    // Hands over (writes unless out is null) up to `size` more bytes of a
    // string the last call cut off; returns how many.
    uint32_t TakeCutString(uint8_t* out, uint64_t size);
    // Writes bytes [from, from + count) of the string of `code` to `out`.
    void WriteString(uint32_t code, uint32_t from, uint32_t count, uint8_t* out) const;

    const TLzwVariant variant_;
    const uint32_t clearCode_;
    std::unique_ptr<TTable> table_;
    TState state_;
};

}  // namespace corvalin

#include "formats/gif/GifLzw.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "formats/gif/GifErrors.h"

namespace corvalin {

namespace {

constexpr int kMaxCodeWidth = 12;
constexpr uint32_t kTableSize = 1u << kMaxCodeWidth;

// The decoder's dictionary. Every entry is its prefix's string plus one index;
// `first` and `length` are kept so that a string is written back to front in
// one pass and a counted frame needs no expansion at all.
struct TDecoderTable {
    std::array<uint16_t, kTableSize> prefix;
    std::array<uint8_t, kTableSize> suffix;
    std::array<uint8_t, kTableSize> first;
    std::array<uint16_t, kTableSize> length;
};

class TCodeReader {
public:
    explicit TCodeReader(std::span<const uint8_t> data) : next_(data.data()), end_(data.data() + data.size()) {}

    // False when fewer than `width` bits are left.
    bool Read(int width, uint32_t& code)
    {
        while (count_ < width) {
            if (next_ == end_)
                return false;
            bits_ |= uint32_t(*next_++) << count_;
            count_ += 8;
        }
        code = bits_ & ((1u << width) - 1);
        bits_ >>= width;
        count_ -= width;
        return true;
    }

private:
    const uint8_t* next_;
    const uint8_t* end_;
    uint32_t bits_ = 0;
    int count_ = 0;
};

// Collects decoded strings into whole rows for the sink. The buffer holds one
// row plus the longest string, so a string is always written in one piece.
class TRowAssembler {
public:
    TRowAssembler(int32_t width, int32_t height, const TGifRowSink& sink)
        : width_(width), height_(height), sink_(sink), buffer_(size_t(width) + kTableSize)
    {
    }

    bool Full() const { return row_ >= height_; }
    int64_t Decoded() const { return int64_t(row_) * width_ + (fill_ - start_); }

    void Put(const TDecoderTable& table, uint32_t code)
    {
        const uint32_t length = table.length[code];
        uint8_t* out = buffer_.data() + fill_ + length;
        for (uint32_t i = 0; i < length; ++i) {
            *--out = table.suffix[code];
            code = table.prefix[code];
        }
        fill_ += length;
        while (fill_ - start_ >= size_t(width_) && row_ < height_) {
            sink_(row_++, buffer_.data() + start_, width_);
            start_ += size_t(width_);
        }
        if (row_ >= height_) {
            fill_ = start_ = 0;  // pixels past the last one are dropped
        } else if (start_ > 0) {
            std::memmove(buffer_.data(), buffer_.data() + start_, fill_ - start_);
            fill_ -= start_;
            start_ = 0;
        }
    }

    // Hands over a last row that the data left incomplete.
    void FlushPartialRow()
    {
        if (row_ < height_ && fill_ > start_)
            sink_(row_, buffer_.data() + start_, int32_t(fill_ - start_));
    }

private:
    const int32_t width_;
    const int32_t height_;
    const TGifRowSink& sink_;
    std::vector<uint8_t> buffer_;
    size_t start_ = 0;
    size_t fill_ = 0;
    int32_t row_ = 0;
};

}  // namespace

int64_t DecodeGifLzw(std::span<const uint8_t> data, int minCodeSize, int32_t width, int32_t height,
                     const TGifRowSink& sink)
{
    if (minCodeSize < 0 || minCodeSize > kGifMaxMinCodeSize || width <= 0 || height <= 0)
        return 0;
    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    const int64_t total = int64_t(width) * height;

    auto table = std::make_unique<TDecoderTable>();
    for (uint32_t c = 0; c < clearCode; ++c) {
        // Literals above 255 only occur with code sizes beyond 8; they keep their low byte.
        table->prefix[c] = 0;
        table->suffix[c] = table->first[c] = uint8_t(c);
        table->length[c] = 1;
    }

    std::optional<TRowAssembler> rows;
    if (sink)
        rows.emplace(width, height, sink);
    int64_t counted = 0;

    TCodeReader reader(data);
    int codeWidth = minCodeSize + 1;
    uint32_t nextCode = clearCode + 2;
    int32_t previous = -1;  // none right after a clear code
    uint32_t code = 0;
    while ((rows ? !rows->Full() : counted < total) && reader.Read(codeWidth, code)) {
        if (code == clearCode) {
            codeWidth = minCodeSize + 1;
            nextCode = clearCode + 2;
            previous = -1;
            continue;
        }
        if (code == endCode)
            break;
        if (code > nextCode)
            break;  // names no entry yet: the rest of the block is damaged
        if (code == nextCode && previous < 0)
            throw GIFException(gifmsg::CircularTable);

        if (previous >= 0 && nextCode < kTableSize) {
            // The new entry is the previous string plus the first index of this
            // one; for code == nextCode that is the previous string's own first.
            const uint32_t entry = nextCode;
            table->prefix[entry] = uint16_t(previous);
            table->first[entry] = table->first[uint32_t(previous)];
            table->suffix[entry] = code == entry ? table->first[uint32_t(previous)] : table->first[code];
            table->length[entry] = uint16_t(table->length[uint32_t(previous)] + 1);
            ++nextCode;
            if (nextCode >= (1u << codeWidth) && codeWidth < kMaxCodeWidth)
                ++codeWidth;
        }
        if (rows)
            rows->Put(*table, code);
        else
            counted += table->length[code];
        previous = int32_t(code);
    }
    if (!rows)
        return std::min(counted, total);
    rows->FlushPartialRow();
    return std::min(rows->Decoded(), total);
}

TGifLzwEncoder::TGifLzwEncoder(int minCodeSize)
    : clearCode_(1u << minCodeSize), endCode_(clearCode_ + 1), initialWidth_(minCodeSize + 1)
{
    ResetTable();
    Emit(clearCode_);
}

void TGifLzwEncoder::ResetTable()
{
    table_.fill(kEmpty);
    nextCode_ = clearCode_ + 2;
    width_ = initialWidth_;
}

void TGifLzwEncoder::Emit(uint32_t code)
{
    bits_ |= uint64_t(code) << bitCount_;
    bitCount_ += width_;
    while (bitCount_ >= 8) {
        out_.push_back(uint8_t(bits_));
        bits_ >>= 8;
        bitCount_ -= 8;
    }
}

void TGifLzwEncoder::EmitAndGrow(uint32_t code)
{
    Emit(code);
    if (nextCode_ > (1u << width_) - 1 && width_ < kMaxCodeWidth)
        ++width_;
}

void TGifLzwEncoder::Encode(const uint8_t* indices, size_t count)
{
    size_t i = 0;
    if (prefix_ < 0 && count > 0)
        prefix_ = indices[i++];
    for (; i < count; ++i) {
        const uint32_t pixel = indices[i];
        const uint32_t key = uint32_t(prefix_) << 8 | pixel;
        uint32_t slot = key % kSlots;
        uint32_t entry;
        bool found = false;
        while ((entry = table_[slot]) != kEmpty) {
            if (entry >> 12 == key) {
                found = true;
                break;
            }
            slot = slot + 1 == kSlots ? 0 : slot + 1;
        }
        if (found) {
            prefix_ = int32_t(entry & 0xFFF);
            continue;
        }
        EmitAndGrow(uint32_t(prefix_));
        if (nextCode_ >= 4095) {
            Emit(clearCode_);
            ResetTable();
        } else {
            table_[slot] = key << 12 | nextCode_++;
        }
        prefix_ = int32_t(pixel);
    }
}

void TGifLzwEncoder::Finish()
{
    if (prefix_ >= 0)
        EmitAndGrow(uint32_t(prefix_));
    prefix_ = -1;
    Emit(endCode_);
    if (bitCount_ > 0)
        out_.push_back(uint8_t(bits_));
    bits_ = 0;
    bitCount_ = 0;
}

}  // namespace corvalin

#include "formats/lzw/LzwEncoder.h"

namespace corvalin {

namespace {

constexpr int kMaxCodeWidth = 12;

}  // namespace

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

#include "formats/lzw/LzwDecoder.h"

#include <algorithm>

namespace corvalin {

namespace {

constexpr int kMaxCodeWidth = 12;

}  // namespace

TLzwDecoder::TLzwDecoder(TLzwVariant variant)
    : variant_(variant), clearCode_(1u << variant.minCodeSize), table_(std::make_unique<TTable>())
{
    for (uint32_t c = 0; c < clearCode_; ++c) {
        // Literals above 255 only occur with code sizes beyond 8; they keep their low byte.
        table_->prefix[c] = 0;
        table_->suffix[c] = table_->first[c] = uint8_t(c);
        table_->length[c] = 1;
    }
}

void TLzwDecoder::Start(std::span<const uint8_t> data)
{
    state_ = TState{};
    state_.in = data.data();
    state_.end = data.data() + data.size();
    state_.width = variant_.minCodeSize + 1;
    state_.next = clearCode_ + 2;
}

void TLzwDecoder::WriteString(uint32_t code, uint32_t from, uint32_t count, uint8_t* out) const
{
    const TTable& t = *table_;
    // Bytes past the piece are walked over, not written.
    for (uint32_t skip = t.length[code] - from - count; skip > 0; --skip)
        code = t.prefix[code];
    for (uint32_t i = count; i > 0; --i) {
        out[i - 1] = t.suffix[code];
        code = t.prefix[code];
    }
}

uint32_t TLzwDecoder::TakeCutString(uint8_t* out, uint64_t size)
{
    TState& s = state_;
    const auto count = uint32_t(std::min<uint64_t>(s.cutLength - s.cutDone, size));
    if (out != nullptr)
        WriteString(s.cutCode, s.cutDone, count, out);
    s.cutDone += count;
    if (s.cutDone == s.cutLength)
        s.cutLength = s.cutDone = 0;
    return count;
}

template <TLzwBitOrder kOrder, bool kWrite>
uint64_t TLzwDecoder::Run(uint8_t* out, uint64_t size)
{
    TTable& t = *table_;
    TState s = state_;
    const uint32_t clearCode = clearCode_;
    const uint32_t endCode = clearCode + 1;
    const uint32_t early = variant_.earlyChange ? 1 : 0;
    uint64_t done = 0;
    while (done < size && s.stop == TLzwStop::None) {
        while (s.bitCount < s.width && s.in != s.end) {
            if constexpr (kOrder == TLzwBitOrder::LeastSignificantFirst)
                s.bits |= uint64_t(*s.in++) << s.bitCount;
            else
                s.bits = s.bits << 8 | *s.in++;
            s.bitCount += 8;
        }
        if (s.bitCount < s.width) {
            s.stop = TLzwStop::DataUsedUp;
            break;
        }
        const uint32_t mask = (1u << s.width) - 1;
        uint32_t code;
        if constexpr (kOrder == TLzwBitOrder::LeastSignificantFirst) {
            code = uint32_t(s.bits) & mask;
            s.bits >>= s.width;
        } else {
            code = uint32_t(s.bits >> (s.bitCount - s.width)) & mask;
        }
        s.bitCount -= s.width;

        if (code == clearCode) {
            s.width = variant_.minCodeSize + 1;
            s.next = clearCode + 2;
            s.previous = -1;
            continue;
        }
        if (code == endCode) {
            s.stop = TLzwStop::EndCode;
            break;
        }
        if (code > s.next || (code == s.next && s.previous < 0)) {
            s.stop = code == s.next ? TLzwStop::SelfReference : TLzwStop::UnknownCode;
            break;
        }
        if (s.previous >= 0 && s.next < kTableSize) {
            // The new entry is the previous string plus the first byte of
            // this one; for the entry being defined right now that is the
            // previous string's own first byte.
            const auto previous = uint32_t(s.previous);
            const uint32_t entry = s.next;
            t.prefix[entry] = uint16_t(previous);
            t.first[entry] = t.first[previous];
            t.suffix[entry] = code == entry ? t.first[previous] : t.first[code];
            t.length[entry] = uint16_t(t.length[previous] + 1);
            ++s.next;
            if (s.next + early >= (1u << s.width) && s.width < kMaxCodeWidth)
                ++s.width;
        }
        const uint32_t length = t.length[code];
        const auto count = uint32_t(std::min<uint64_t>(length, size - done));
        if constexpr (kWrite)
            WriteString(code, 0, count, out + done);
        if (count < length) {
            s.cutCode = code;
            s.cutLength = length;
            s.cutDone = count;
        }
        done += count;
        s.previous = int32_t(code);
    }
    state_ = s;
    return done;
}

size_t TLzwDecoder::Read(std::span<uint8_t> out)
{
    const uint32_t cut = TakeCutString(out.data(), out.size());
    uint8_t* rest = out.data() + cut;
    const size_t room = out.size() - cut;
    if (variant_.bitOrder == TLzwBitOrder::LeastSignificantFirst)
        return cut + size_t(Run<TLzwBitOrder::LeastSignificantFirst, true>(rest, room));
    return cut + size_t(Run<TLzwBitOrder::MostSignificantFirst, true>(rest, room));
}

uint64_t TLzwDecoder::Skip(uint64_t count)
{
    const uint32_t cut = TakeCutString(nullptr, count);
    if (variant_.bitOrder == TLzwBitOrder::LeastSignificantFirst)
        return cut + Run<TLzwBitOrder::LeastSignificantFirst, false>(nullptr, count - cut);
    return cut + Run<TLzwBitOrder::MostSignificantFirst, false>(nullptr, count - cut);
}

size_t TLzwDecoder::DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked)
{
    Start(packed);
    return Read(unpacked);
}

}  // namespace corvalin

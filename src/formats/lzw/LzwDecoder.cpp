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
    if (state_.stop != TLzwStop::None)
        return 0;
    // The loop's state lives in locals: every byte it writes could alias a
    // member, which would be reloaded after each store.
    TTable& t = *table_;
    const uint8_t* in = state_.in;
    const uint8_t* const end = state_.end;
    uint64_t bits = state_.bits;
    int bitCount = state_.bitCount;
    int width = state_.width;
    uint32_t next = state_.next;
    int32_t previous = state_.previous;
    const uint32_t clearCode = clearCode_;
    const uint32_t early = variant_.earlyChange ? 1 : 0;
    TLzwStop stop = TLzwStop::None;
    uint64_t done = 0;
    while (done < size) {
        while (bitCount < width && in != end) {
            if constexpr (kOrder == TLzwBitOrder::LeastSignificantFirst)
                bits |= uint64_t(*in++) << bitCount;
            else
                bits = bits << 8 | *in++;
            bitCount += 8;
        }
        if (bitCount < width) {
            stop = TLzwStop::DataUsedUp;
            break;
        }
        const uint32_t mask = (1u << width) - 1;
        uint32_t code;
        if constexpr (kOrder == TLzwBitOrder::LeastSignificantFirst) {
            code = uint32_t(bits) & mask;
            bits >>= width;
        } else {
            code = uint32_t(bits >> (bitCount - width)) & mask;
        }
        bitCount -= width;

        if (code == clearCode) {
            width = variant_.minCodeSize + 1;
            next = clearCode + 2;
            previous = -1;
            continue;
        }
        if (code == clearCode + 1) {
            stop = TLzwStop::EndCode;
            break;
        }
        if (code >= next && (code > next || previous < 0)) {
            stop = code == next ? TLzwStop::SelfReference : TLzwStop::UnknownCode;
            break;
        }
        if (previous >= 0 && next < kTableSize) {
            // The new entry is the previous string plus the first byte of
            // this one; for the entry being defined right now that is the
            // previous string's own first byte.
            const auto before = uint32_t(previous);
            t.prefix[next] = uint16_t(before);
            t.first[next] = t.first[before];
            t.suffix[next] = code == next ? t.first[before] : t.first[code];
            t.length[next] = uint16_t(t.length[before] + 1);
            ++next;
            if (next + early >= (1u << width) && width < kMaxCodeWidth)
                ++width;
        }
        previous = int32_t(code);
        const uint32_t length = t.length[code];
        if (length > size - done) {
            // The string runs past the output: the rest waits for the next call.
            const auto count = uint32_t(size - done);
            if constexpr (kWrite)
                WriteString(code, 0, count, out + done);
            state_.cutCode = code;
            state_.cutLength = length;
            state_.cutDone = count;
            done = size;
            break;
        }
        if constexpr (kWrite) {
            uint8_t* at = out + done + length;
            for (uint32_t c = code; at != out + done; c = t.prefix[c])
                *--at = t.suffix[c];
        }
        done += length;
    }
    state_.in = in;
    state_.bits = bits;
    state_.bitCount = bitCount;
    state_.width = width;
    state_.next = next;
    state_.previous = previous;
    state_.stop = stop;
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

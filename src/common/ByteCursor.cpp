#include "common/ByteCursor.h"

#include "common/Exceptions.h"

namespace corvalin {

namespace {

[[noreturn]] void ThrowStreamRead()
{
    throw EReadError(msg::StreamRead);
}

}  // namespace

TByteCursor::TByteCursor(std::span<const uint8_t> data, TShortInput onShort)
    : data_(data), onShort_(onShort != nullptr ? onShort : ThrowStreamRead)
{
}

void TByteCursor::Require(size_t offset, size_t count) const
{
    if (offset > data_.size() || count > data_.size() - offset) {
        onShort_();
        ThrowStreamRead();  // a handler that returns must not let the read go on
    }
}

void TByteCursor::Seek(size_t offset)
{
    Require(offset, 0);
    position_ = offset;
}

void TByteCursor::Skip(size_t count)
{
    Require(position_, count);
    position_ += count;
}

uint8_t TByteCursor::U8()
{
    Require(position_, 1);
    return data_[position_++];
}

uint16_t TByteCursor::U16(TByteOrder order)
{
    return Get16(Bytes(2).data(), order);
}

uint32_t TByteCursor::U32(TByteOrder order)
{
    return Get32(Bytes(4).data(), order);
}

std::span<const uint8_t> TByteCursor::Bytes(size_t count)
{
    const std::span<const uint8_t> bytes = At(position_, count);
    position_ += count;
    return bytes;
}

std::span<const uint8_t> TByteCursor::At(size_t offset, size_t count) const
{
    Require(offset, count);
    return data_.subspan(offset, count);
}

uint16_t Get16(const uint8_t* bytes, TByteOrder order)
{
    return order == TByteOrder::LittleEndian ? uint16_t(bytes[0] | bytes[1] << 8)
                                             : uint16_t(bytes[0] << 8 | bytes[1]);
}

uint32_t Get32(const uint8_t* bytes, TByteOrder order)
{
    const uint32_t low = Get16(bytes, order);
    const uint32_t high = Get16(bytes + 2, order);
    return order == TByteOrder::LittleEndian ? low | high << 16 : low << 16 | high;
}

void Put16(std::vector<uint8_t>& out, uint16_t value, TByteOrder order)
{
    const uint8_t low = uint8_t(value), high = uint8_t(value >> 8);
    if (order == TByteOrder::LittleEndian)
        out.insert(out.end(), {low, high});
    else
        out.insert(out.end(), {high, low});
}

void Put32(std::vector<uint8_t>& out, uint32_t value, TByteOrder order)
{
    const bool little = order == TByteOrder::LittleEndian;
    Put16(out, uint16_t(little ? value : value >> 16), order);
    Put16(out, uint16_t(little ? value >> 16 : value), order);
}

}  // namespace corvalin

// The one way a reader walks through a file's bytes: a position inside a
// span that never moves past its end. Every read is checked as
// `count > size - position` before any byte is touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvalin {

enum class TByteOrder { LittleEndian, BigEndian };

class TByteCursor {
public:
    // Called when a read would pass the end; it must throw. The default
    // throws EReadError "Stream-Lesefehler"; a reader passes its own to name
    // what was wrong with its file.
    using TShortInput = void (*)();

    explicit TByteCursor(std::span<const uint8_t> data, TShortInput onShort = nullptr);

    size_t Position() const { return position_; }
    size_t Size() const { return data_.size(); }
    size_t Remaining() const { return data_.size() - position_; }
    std::span<const uint8_t> Data() const { return data_; }

    void Seek(size_t offset);
    void Skip(size_t count);

    uint8_t U8();
    uint16_t U16(TByteOrder order);
    uint32_t U32(TByteOrder order);
    uint16_t U16LE() { return U16(TByteOrder::LittleEndian); }
    uint16_t U16BE() { return U16(TByteOrder::BigEndian); }
    uint32_t U32LE() { return U32(TByteOrder::LittleEndian); }
    uint32_t U32BE() { return U32(TByteOrder::BigEndian); }

    // The next count bytes, consumed.
    std::span<const uint8_t> Bytes(size_t count);
    // Count bytes at an absolute offset; the position does not move.
    std::span<const uint8_t> At(size_t offset, size_t count) const;

private:
    void Require(size_t offset, size_t count) const;

    std::span<const uint8_t> data_;
    size_t position_ = 0;
    TShortInput onShort_;
};

// Reading a number at the start of bytes the caller has already checked.
uint16_t Get16(const uint8_t* bytes, TByteOrder order);
uint32_t Get32(const uint8_t* bytes, TByteOrder order);

// Writers append their numbers with these.
void Put16(std::vector<uint8_t>& out, uint16_t value, TByteOrder order);
void Put32(std::vector<uint8_t>& out, uint32_t value, TByteOrder order);

}  // namespace corvalin

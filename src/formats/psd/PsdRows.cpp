#include "formats/psd/PsdRows.h"

#include <algorithm>
#include <cstring>

#include "common/ByteCursor.h"

namespace corvalin {

namespace {

// Two PackBits bytes repeat one byte 128 times.
constexpr uint64_t kPackBitsMostPerByte = 64;

}  // namespace

TPsdRows::TPsdRows(std::span<const uint8_t> data, bool packBits, uint32_t height, uint16_t channels,
                   size_t planes, size_t rowBytes)
    : data_(data), packBits_(packBits), height_(height), rowBytes_(rowBytes), offsets_(planes), rows_(planes)
{
    TByteCursor cursor(data);
    if (!packBits) {
        fillable_ = uint64_t(rowBytes) * height * planes;
        // Raw planes follow each other; rowBytes x height stays below the
        // raster limit, which the caller has checked.
        const size_t planeBytes = rowBytes * height;
        cursor.Skip(planeBytes * planes);
        for (size_t k = 0; k < planes; ++k)
            offsets_[k] = k * planeBytes;
        return;
    }
    lengths_ = cursor.Bytes(size_t(height) * channels * 2);
    size_t offset = cursor.Position();
    for (size_t k = 0; k < planes; ++k) {
        offsets_[k] = offset;
        for (size_t y = 0; y < height; ++y) {
            const size_t length = Get16(lengths_.data() + 2 * (k * height + y), TByteOrder::BigEndian);
            offset += length;
            fillable_ += std::min<uint64_t>(length * kPackBitsMostPerByte, rowBytes);
        }
    }
    cursor.Seek(offset);  // every used row must lie inside the file
}

const uint8_t* TPsdRows::NextRow(size_t plane, uint8_t* room)
{
    const size_t offset = offsets_[plane];
    const uint32_t row = rows_[plane]++;
    if (!packBits_) {
        offsets_[plane] += rowBytes_;
        return data_.data() + offset;
    }
    const size_t length = Get16(lengths_.data() + 2 * (plane * height_ + row), TByteOrder::BigEndian);
    offsets_[plane] += length;
    const size_t filled = decoder_.DecodeBlock(data_.subspan(offset, length), {room, rowBytes_});
    std::memset(room + filled, 0, rowBytes_ - filled);
    filledIn_ = filledIn_ || filled < rowBytes_;
    return room;
}

}  // namespace corvalin

#include "formats/metafile/MetafileHeader.h"

#include <cmath>
#include <cstdlib>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"

namespace corvalin {

namespace {

constexpr uint32_t kEmrHeader = 1;
constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr size_t kEmfMinimumHeader = 88;         // up to the reference sizes in millimetres
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableSize = 22;
constexpr size_t kWmfHeaderSize = 18;
constexpr double kHundredthsPerInch = 2540;
constexpr double kPixelsPerInch = 96;

[[noreturn]] void Invalid()
{
    throw EInvalidGraphic(kInvalidMetafile);
}

int32_t RoundToInt(double value)
{
    if (!(std::fabs(value) < 2147483647.0))
        Invalid();
    return int32_t(std::lround(value));
}

int32_t I32(TByteCursor& cursor)
{
    return int32_t(cursor.U32LE());
}

bool LooksEnhanced(std::span<const uint8_t> file)
{
    if (file.size() <= 100)
        return false;
    return Get32(file.data(), TByteOrder::LittleEndian) == kEmrHeader &&
           Get32(file.data() + 40, TByteOrder::LittleEndian) == kEmfSignature;
}

TMetafileHeader ReadEnhanced(std::span<const uint8_t> file)
{
    TByteCursor cursor(file, Invalid);
    TMetafileHeader header;
    header.kind = TMetafileKind::Enhanced;
    cursor.Skip(4);
    const uint32_t headerSize = cursor.U32LE();
    if (headerSize < kEmfMinimumHeader || headerSize > file.size() || headerSize % 4 != 0)
        Invalid();
    cursor.Skip(16);  // bounds in device pixels
    header.frameLeft = I32(cursor);
    header.frameTop = I32(cursor);
    header.frameRight = I32(cursor);
    header.frameBottom = I32(cursor);
    cursor.Seek(56);
    header.objectCount = cursor.U16LE();
    cursor.Seek(72);
    header.devicePixelsX = I32(cursor);
    header.devicePixelsY = I32(cursor);
    header.deviceMillimetresX = I32(cursor);
    header.deviceMillimetresY = I32(cursor);
    // A reference device without a size gives no way from the frame to pixels.
    if (header.devicePixelsX <= 0 || header.devicePixelsY <= 0 || header.deviceMillimetresX <= 0 ||
        header.deviceMillimetresY <= 0)
        Invalid();
    header.records = file.subspan(headerSize);
    return header;
}

uint16_t Checksum(std::span<const uint8_t> placeable)
{
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum ^= Get16(placeable.data() + i, TByteOrder::LittleEndian);
    return sum;
}

TMetafileHeader ReadPlaceable(std::span<const uint8_t> file)
{
    TByteCursor cursor(file, Invalid);
    if (file.size() < kPlaceableSize + kWmfHeaderSize || cursor.U32LE() != kPlaceableKey ||
        Checksum(file) != Get16(file.data() + 20, TByteOrder::LittleEndian))
        Invalid();
    TMetafileHeader header;
    header.kind = TMetafileKind::Placeable;
    cursor.Skip(2);  // handle
    header.boxLeft = int16_t(cursor.U16LE());
    header.boxTop = int16_t(cursor.U16LE());
    header.boxRight = int16_t(cursor.U16LE());
    header.boxBottom = int16_t(cursor.U16LE());
    header.unitsPerInch = cursor.U16LE();
    const double inch = header.unitsPerInch != 0 ? header.unitsPerInch : kPixelsPerInch;
    header.frameRight = RoundToInt((header.boxRight - header.boxLeft) * kHundredthsPerInch / inch);
    header.frameBottom = RoundToInt((header.boxBottom - header.boxTop) * kHundredthsPerInch / inch);

    cursor.Seek(kPlaceableSize);
    cursor.Skip(2);  // type
    const size_t wmfHeaderBytes = size_t(cursor.U16LE()) * 2;
    if (wmfHeaderBytes < kWmfHeaderSize || wmfHeaderBytes > file.size() - kPlaceableSize)
        Invalid();
    cursor.Seek(kPlaceableSize + 10);
    header.objectCount = cursor.U16LE();
    header.records = file.subspan(kPlaceableSize + wmfHeaderBytes);
    return header;
}

}  // namespace

int32_t TMetafileHeader::PixelWidth() const
{
    if (kind == TMetafileKind::Placeable)
        return RoundToInt(FrameWidth() * kPixelsPerInch / kHundredthsPerInch);
    return RoundToInt(FrameWidth() * double(devicePixelsX) / (deviceMillimetresX * 100.0));
}

int32_t TMetafileHeader::PixelHeight() const
{
    if (kind == TMetafileKind::Placeable)
        return RoundToInt(FrameHeight() * kPixelsPerInch / kHundredthsPerInch);
    return RoundToInt(FrameHeight() * double(devicePixelsY) / (deviceMillimetresY * 100.0));
}

TMetafileHeader ReadMetafileHeader(std::span<const uint8_t> file)
{
    return LooksEnhanced(file) ? ReadEnhanced(file) : ReadPlaceable(file);
}

}  // namespace corvalin

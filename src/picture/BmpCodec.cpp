#include "picture/BmpCodec.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/Exceptions.h"
#include "common/Limits.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"
#include "picture/Palettes.h"

namespace corvalin {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kMaxColorTable = 256;

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

void Put16(std::vector<uint8_t>& out, uint32_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); }
void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

[[noreturn]] void Invalid() { throw EInvalidGraphic(msg::InvalidBitmap); }

// Reads the information header (and the masks that may follow it).
BmpHeader ReadInfoHeader(TStream& stream)
{
    BmpHeader header;
    uint8_t size[4];
    stream.ReadBuffer(size, 4);
    header.headerSize = U32(size);
    if (header.headerSize == kCoreHeaderSize) {
        uint8_t core[8];
        stream.ReadBuffer(core, sizeof core);
        header.os2 = true;
        header.width = U16(core);
        header.height = U16(core + 2);
        header.planes = U16(core + 4);
        header.bitsPerPixel = U16(core + 6);
        return header;
    }
    if (header.headerSize < 4 || header.headerSize - 4 > uint64_t(stream.Remaining()))
        throw EReadError(msg::StreamRead);
    std::vector<uint8_t> rest(std::max<size_t>(header.headerSize - 4, 52 - 4), 0);
    stream.ReadBuffer(rest.data(), header.headerSize - 4);
    const uint8_t* p = rest.data() - 4;  // offsets below count from the header's start
    header.width = int32_t(U32(p + 4));
    header.height = int32_t(U32(p + 8));
    header.planes = U16(p + 12);
    header.bitsPerPixel = U16(p + 14);
    header.compression = U32(p + 16);
    header.imageSize = U32(p + 20);
    header.xPelsPerMeter = int32_t(U32(p + 24));
    header.yPelsPerMeter = int32_t(U32(p + 28));
    header.colorsUsed = U32(p + 32);
    header.importantColors = U32(p + 36);
    const bool maskable = header.compression == biBitFields &&
                          (header.bitsPerPixel == 16 || header.bitsPerPixel == 32);
    if (maskable && header.headerSize == kInfoHeaderSize) {
        uint8_t masks[12];
        stream.ReadBuffer(masks, sizeof masks);
        header.masks = {U32(masks), U32(masks + 4), U32(masks + 8)};
    } else if (maskable && header.headerSize >= 52) {
        // Version 2 and later headers carry the masks inside.
        header.masks = {U32(p + 40), U32(p + 44), U32(p + 48)};
    }
    return header;
}

uint32_t ColorCount(const BmpHeader& header)
{
    if (header.colorsUsed != 0 && !header.os2)
        return header.colorsUsed;
    return header.bitsPerPixel <= 8 ? 1u << header.bitsPerPixel : 0;
}

std::vector<TColor> ReadColorTable(TStream& stream, const BmpHeader& header)
{
    const uint32_t count = ColorCount(header);
    if (count > kMaxColorTable)
        Invalid();
    const size_t entrySize = header.os2 ? 3 : 4;
    std::vector<uint8_t> bytes(count * entrySize);
    stream.ReadBuffer(bytes.data(), bytes.size());
    std::vector<TColor> palette(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = bytes.data() + i * entrySize;
        palette[i] = RGB(e[2], e[1], e[0]);
    }
    return palette;
}

bool ValidBitCount(uint16_t bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

TPixelFormat FormatFor(const BmpHeader& header, bool hasMasks)
{
    switch (header.bitsPerPixel) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 16:
        if (!hasMasks)
            return TPixelFormat::pf15bit;
        return header.masks[1] == 0x07E0 ? TPixelFormat::pf16bit : TPixelFormat::pfCustom;
    case 24: return TPixelFormat::pf24bit;
    default: return hasMasks ? TPixelFormat::pfCustom : TPixelFormat::pf32bit;
    }
}

void CheckDimensions(const BmpHeader& header)
{
    if (header.planes != 1)
        Invalid();
    if (!ValidBitCount(header.bitsPerPixel) || header.width <= 0 || header.height == 0 ||
        header.height == INT32_MIN)
        Invalid();
}

void KeepDescription(const BmpHeader& header, TRaster& raster)
{
    raster.os2 = header.os2;
    raster.xPelsPerMeter = header.xPelsPerMeter;
    raster.yPelsPerMeter = header.yPelsPerMeter;
    raster.importantColors = header.importantColors;
}

std::shared_ptr<TRaster> ReadUncompressed(TStream& stream, const BmpHeader& header)
{
    const bool hasMasks = header.compression == biBitFields &&
                          (header.masks[0] | header.masks[1] | header.masks[2]) != 0;
    std::vector<TColor> palette = ReadColorTable(stream, header);
    const int32_t rows = header.height < 0 ? -header.height : header.height;
    auto raster = TRaster::Create(header.width, rows, FormatFor(header, hasMasks), header.bitsPerPixel);
    if (hasMasks)
        raster->masks = header.masks;
    raster->palette = std::move(palette);
    raster->topDown = header.height < 0;
    KeepDescription(header, *raster);

    const uint64_t declared = header.imageSize != 0 ? header.imageSize : raster->pixels.size();
    const size_t available = size_t(std::min<uint64_t>({declared, uint64_t(stream.Remaining()), raster->pixels.size()}));
    // Rows arrive in file order; missing bytes stay 0.
    size_t done = 0;
    for (int32_t fileRow = 0; fileRow < rows && done < available; ++fileRow) {
        const int32_t y = raster->topDown ? fileRow : rows - 1 - fileRow;
        const size_t n = std::min(raster->stride, available - done);
        stream.ReadBuffer(raster->Row(y), n);
        done += n;
    }
    return raster;
}

std::shared_ptr<TRaster> ReadRunLength(TStream& stream, const BmpHeader& header, const uint8_t* fileHeader,
                                       int64_t startOfHeader)
{
    const bool matches = (header.compression == biRLE8 && header.bitsPerPixel == 8) ||
                         (header.compression == biRLE4 && header.bitsPerPixel == 4);
    if (!matches || header.height < 0)
        Invalid();

    // The whole file goes into memory and stays with the picture while it is unchanged.
    auto file = std::make_shared<std::vector<uint8_t>>(fileHeader, fileHeader + kFileHeaderSize);
    stream.Seek(startOfHeader);
    const size_t rest = size_t(stream.Remaining());
    file->resize(kFileHeaderSize + rest);
    stream.ReadBuffer(file->data() + kFileHeaderSize, rest);

    TSpanStream copy(std::span<const uint8_t>(*file).subspan(kFileHeaderSize));
    ReadInfoHeader(copy);
    const std::vector<TColor> palette = ReadColorTable(copy, header);
    auto raster = TRaster::Create(header.width, header.height, TPixelFormat::pfDevice);
    KeepDescription(header, *raster);
    DecodeBmpRle(copy.RemainingBytes(), header.compression, palette, true, *raster);
    raster->keptFileData = std::move(file);
    return raster;
}

struct WriteLayout {
    uint16_t bits = 0;
    uint32_t compression = biRGB;
    std::array<uint32_t, 3> masks{};
    std::vector<TColor> table;
    bool os2 = false;
};

WriteLayout LayoutFor(const TRaster& raster)
{
    WriteLayout layout;
    layout.bits = uint16_t(raster.bitsPerPixel);
    layout.os2 = raster.os2;
    if (raster.bitsPerPixel <= 8) {
        const size_t full = size_t(1) << raster.bitsPerPixel;
        layout.table.assign(raster.palette.begin(), raster.palette.begin() + std::min(full, raster.palette.size()));
        if (layout.os2)
            layout.table.resize(full, clBlack);
        return layout;
    }
    const bool bitFields = raster.format == TPixelFormat::pf16bit ||
                           (raster.format == TPixelFormat::pfCustom && raster.HasMasks());
    if (bitFields) {
        layout.compression = biBitFields;
        layout.masks = raster.HasMasks() ? raster.masks
                       : raster.bitsPerPixel == 16 ? std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F}
                                                   : std::array<uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
    }
    if (!layout.os2 && !raster.palette.empty() && !IsHalftonePalette(raster.palette))
        layout.table.assign(raster.palette.begin(), raster.palette.begin() + std::min<size_t>(256, raster.palette.size()));
    return layout;
}

std::vector<uint8_t> HeadersFor(const TRaster& raster, const WriteLayout& layout)
{
    const uint32_t imageSize = uint32_t(raster.stride * size_t(raster.height));
    uint32_t infoSize;
    if (layout.os2)
        infoSize = kCoreHeaderSize + 3 * uint32_t(layout.table.size());
    else
        infoSize = kInfoHeaderSize + (layout.compression == biBitFields ? 12 : 0) + 4 * uint32_t(layout.table.size());

    std::vector<uint8_t> out;
    out.reserve(kFileHeaderSize + infoSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, uint32_t(kFileHeaderSize) + infoSize + imageSize);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, uint32_t(kFileHeaderSize) + infoSize);
    if (layout.os2) {
        Put32(out, kCoreHeaderSize);
        Put16(out, uint32_t(raster.width));
        Put16(out, uint32_t(raster.height));
        Put16(out, 1);
        Put16(out, layout.bits);
    } else {
        Put32(out, kInfoHeaderSize);
        Put32(out, uint32_t(raster.width));
        Put32(out, uint32_t(raster.topDown ? -raster.height : raster.height));
        Put16(out, 1);
        Put16(out, layout.bits);
        Put32(out, layout.compression);
        Put32(out, imageSize);
        Put32(out, uint32_t(raster.xPelsPerMeter));
        Put32(out, uint32_t(raster.yPelsPerMeter));
        Put32(out, uint32_t(layout.table.size()));
        Put32(out, raster.importantColors);
        if (layout.compression == biBitFields)
            for (uint32_t mask : layout.masks)
                Put32(out, mask);
    }
    for (TColor c : layout.table) {
        out.push_back(BlueOf(c));
        out.push_back(GreenOf(c));
        out.push_back(RedOf(c));
        if (!layout.os2)
            out.push_back(0);
    }
    return out;
}

}  // namespace

void TBitmap::ReadBmpStream(TStream& stream)
{
    if (stream.Remaining() <= 0) {
        Clear();
        return;
    }
    uint8_t fileHeader[kFileHeaderSize];
    stream.ReadBuffer(fileHeader, sizeof fileHeader);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        Invalid();
    const int64_t startOfHeader = stream.Position();
    const BmpHeader header = ReadInfoHeader(stream);
    CheckDimensions(header);

    std::shared_ptr<TRaster> raster;
    if (header.compression == biRGB || header.compression == biBitFields)
        raster = ReadUncompressed(stream, header);
    else if (header.compression == biRLE8 || header.compression == biRLE4)
        raster = ReadRunLength(stream, header, fileHeader, startOfHeader);
    else
        Invalid();
    AdoptRaster(std::move(raster));
}

void TBitmap::WriteBmpStream(TStream& stream) const
{
    if (raster_ == nullptr)
        return;
    if (raster_->keptFileData) {
        stream.WriteBuffer(*raster_->keptFileData);
        return;
    }
    const TRaster& raster = *raster_;
    const WriteLayout layout = LayoutFor(raster);
    stream.WriteBuffer(HeadersFor(raster, layout));
    for (int32_t fileRow = 0; fileRow < raster.height; ++fileRow) {
        const int32_t y = raster.topDown ? fileRow : raster.height - 1 - fileRow;
        stream.WriteBuffer(raster.Row(y), raster.stride);
    }
}

std::vector<uint8_t> EncodeDib(const TRaster& raster)
{
    WriteLayout layout = LayoutFor(raster);
    layout.os2 = false;
    std::vector<uint8_t> out = HeadersFor(raster, layout);
    out.erase(out.begin(), out.begin() + kFileHeaderSize);
    constexpr size_t kHeightOffset = 8;
    std::vector<uint8_t> height;
    Put32(height, uint32_t(raster.height));
    std::copy(height.begin(), height.end(), out.begin() + kHeightOffset);
    out.reserve(out.size() + raster.stride * size_t(raster.height));
    for (int32_t y = raster.height - 1; y >= 0; --y)
        out.insert(out.end(), raster.Row(y), raster.Row(y) + raster.stride);
    return out;
}

}  // namespace corvalin

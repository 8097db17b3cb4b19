#include "picture/BmpCodec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/Limits.h"
#include "common/Stream.h"
#include "picture/Backdrop.h"
#include "picture/Bitmap.h"
#include "picture/Palettes.h"
#include "picture/RowCodec.h"

namespace corvalin {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kMaxColorTable = 256;

constexpr auto LE = TByteOrder::LittleEndian;
// Offsets of the information header's fields (the masks of a version 2 or later header last).
constexpr size_t kFixedHeaderSize = 52;

void Put16(std::vector<uint8_t>& out, uint32_t v) { corvalin::Put16(out, uint16_t(v), LE); }
void Put32(std::vector<uint8_t>& out, uint32_t v) { corvalin::Put32(out, v, LE); }

[[noreturn]] void Invalid() { throw EInvalidGraphic(msg::InvalidBitmap); }

constexpr int64_t kMaxRleExpansion = 1000;

// Reads the information header (and the masks that may follow it).
BmpHeader ReadInfoHeader(TByteCursor& in)
{
    BmpHeader header;
    header.headerSize = in.U32LE();
    if (header.headerSize == kCoreHeaderSize) {
        header.os2 = true;
        header.width = in.U16LE();
        header.height = in.U16LE();
        header.planes = in.U16LE();
        header.bitsPerPixel = in.U16LE();
        return header;
    }
    if (header.headerSize < 4)
        throw EReadError(msg::StreamRead);
    // Fields a short header lacks read as zero; offsets count from the header's start.
    const std::span<const uint8_t> rest = in.Bytes(header.headerSize - 4);
    std::array<uint8_t, kFixedHeaderSize> fixed{};
    std::copy_n(rest.begin(), std::min(rest.size(), kFixedHeaderSize - 4), fixed.begin() + 4);
    const uint8_t* p = fixed.data();
    header.width = int32_t(Get32(p + 4, LE));
    header.height = int32_t(Get32(p + 8, LE));
    header.planes = Get16(p + 12, LE);
    header.bitsPerPixel = Get16(p + 14, LE);
    header.compression = Get32(p + 16, LE);
    header.imageSize = Get32(p + 20, LE);
    header.xPelsPerMeter = int32_t(Get32(p + 24, LE));
    header.yPelsPerMeter = int32_t(Get32(p + 28, LE));
    header.colorsUsed = Get32(p + 32, LE);
    header.importantColors = Get32(p + 36, LE);
    const bool maskable = header.compression == biBitFields &&
                          (header.bitsPerPixel == 16 || header.bitsPerPixel == 32);
    if (maskable && header.headerSize == kInfoHeaderSize) {
        header.masks = {in.U32LE(), in.U32LE(), in.U32LE()};
    } else if (maskable && header.headerSize >= kFixedHeaderSize) {
        // Version 2 and later headers carry the masks inside.
        header.masks = {Get32(p + 40, LE), Get32(p + 44, LE), Get32(p + 48, LE)};
    }
    if (header.bitsPerPixel == 32 && rest.size() >= kFixedHeaderSize)
        header.alphaMask = Get32(rest.data() + kFixedHeaderSize - 4, LE);
    return header;
}

uint32_t ColorCount(const BmpHeader& header)
{
    if (header.colorsUsed != 0 && !header.os2)
        return header.colorsUsed;
    return header.bitsPerPixel <= 8 ? 1u << header.bitsPerPixel : 0;
}

std::vector<TColor> ReadColorTable(TByteCursor& in, const BmpHeader& header)
{
    const uint32_t count = ColorCount(header);
    if (count > kMaxColorTable)
        Invalid();
    const size_t entrySize = header.os2 ? 3 : 4;
    const std::span<const uint8_t> bytes = in.Bytes(count * entrySize);
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

TBmpDescription DescriptionOf(const BmpHeader& header)
{
    TBmpDescription bmp;
    bmp.topDown = header.height < 0;
    bmp.os2 = header.os2;
    bmp.xPelsPerMeter = header.xPelsPerMeter;
    bmp.yPelsPerMeter = header.yPelsPerMeter;
    bmp.importantColors = header.importantColors;
    return bmp;
}

// How many rows to deliver: just those the caller will sample, when it
// asked for fewer than all and the picture has more than one bit a pixel.
int32_t SampledRowCount(const BmpHeader& header, int32_t rows, const TRowRequest& request)
{
    if (!request || header.bitsPerPixel == 1)
        return 0;
    return RequestedRows(request, header.width, rows);
}

std::shared_ptr<TRaster> ReadUncompressed(TByteCursor& in, const BmpHeader& header,
                                          const TRowRequest& request, TBmpDescription& bmp)
{
    const bool hasMasks = header.compression == biBitFields &&
                          (header.masks[0] | header.masks[1] | header.masks[2]) != 0;
    std::vector<TColor> palette = ReadColorTable(in, header);
    const int32_t rows = header.height < 0 ? -header.height : header.height;
    // Missing rows are zero-filled, but a picture of which not even 1% is
    // in the file did not come from it (118 bytes declaring 2 GB of pixels).
    const uint64_t pictureBytes = uint64_t(CheckedRasterBytes(header.width, rows, header.bitsPerPixel));
    if (in.Remaining() * 100 < pictureBytes)
        Invalid();
    const int32_t sampled = SampledRowCount(header, rows, request);
    auto raster = TRaster::Create(header.width, sampled > 0 ? sampled : rows,
                                  FormatFor(header, hasMasks), header.bitsPerPixel);
    if (hasMasks)
        raster->masks = header.masks;
    raster->palette = std::move(palette);
    const bool topDown = header.height < 0;

    const uint64_t declared = header.imageSize != 0 ? header.imageSize : pictureBytes;
    const std::span<const uint8_t> data =
        in.Bytes(size_t(std::min<uint64_t>({declared, in.Remaining(), pictureBytes})));
    const size_t stride = raster->stride;
    // Bytes missing at the end leave their rows 0; the padding of the last
    // row may be missing without loss.
    const uint64_t lastRowPixels = (uint64_t(header.width) * header.bitsPerPixel + 7) / 8;
    bmp.damaged = rows > 0 && data.size() < uint64_t(rows - 1) * stride + lastRowPixels;
    for (int32_t y = 0; y < raster->height; ++y) {
        const int32_t pictureRow = sampled > 0 ? SampledPosition(y, sampled, rows) : y;
        const size_t start = size_t(topDown ? pictureRow : rows - 1 - pictureRow) * stride;
        if (start < data.size())
            std::memcpy(raster->Row(y), data.data() + start, std::min(stride, data.size() - start));
    }
    return raster;
}

// The alpha mask of a 32-bit picture when it is usable: one run of bits
// apart from the colour masks; a plain picture's alpha is its fourth byte.
uint32_t UsableAlphaMask(const BmpHeader& header)
{
    const uint32_t alpha = header.alphaMask;
    if (header.bitsPerPixel != 32 || alpha == 0)
        return 0;
    if (header.compression == biRGB)
        return alpha == 0xFF000000u ? alpha : 0;
    const uint32_t colours = header.masks[0] | header.masks[1] | header.masks[2];
    const uint32_t run = alpha >> std::countr_zero(alpha);
    return (alpha & colours) == 0 && colours != 0 && (run & (run + 1)) == 0 ? alpha : 0;
}

// A 32-bit picture with an alpha mask as plain pixels with alpha (see
// TRaster::hasAlpha), unless every alpha value is 0 (many writers leave the
// fourth byte 0 in opaque pictures) or every one is opaque.
std::shared_ptr<TRaster> WithAlphaOf(std::shared_ptr<TRaster> raster, uint32_t alphaMask)
{
    const int shift = std::countr_zero(alphaMask);
    const uint32_t top = alphaMask >> shift;
    bool anyAlpha = false;
    for (int y = 0; y < raster->height && !anyAlpha; ++y)
        for (int x = 0; x < raster->width && !anyAlpha; ++x)
            anyAlpha = (Get32(raster->Row(y) + 4 * size_t(x), LE) & alphaMask) != 0;
    if (!anyAlpha)
        return raster;
    auto result = TRaster::Create(raster->width, raster->height, TPixelFormat::pf32bit);
    result->hasAlpha = true;
    std::vector<uint8_t> bgr(size_t(raster->width) * 3);
    for (int y = 0; y < raster->height; ++y) {
        DecodeRowToBgr(*raster, y, bgr.data());
        for (int x = 0; x < raster->width; ++x) {
            const uint32_t value = Get32(raster->Row(y) + 4 * size_t(x), LE);
            uint8_t* q = result->Row(y) + 4 * size_t(x);
            std::memcpy(q, &bgr[3 * size_t(x)], 3);
            q[3] = uint8_t(uint64_t((value & alphaMask) >> shift) * 255 / top);
        }
    }
    return HasTransparentPixel(*result) ? result : raster;
}

std::shared_ptr<TRaster> ReadRunLength(TByteCursor& in, const BmpHeader& header, TBmpDescription& bmp)
{
    const bool matches = (header.compression == biRLE8 && header.bitsPerPixel == 8) ||
                         (header.compression == biRLE4 && header.bitsPerPixel == 4);
    if (!matches || header.height < 0)
        Invalid();
    const std::vector<TColor> palette = ReadColorTable(in, header);
    // Deltas and end-of-line codes skip any number of pixels in a few bytes,
    // so the format sets no bound of its own; no real file comes near a
    // raster of 1000 times its size.
    if (CheckedRasterBytes(header.width, header.height, 32) / kMaxRleExpansion > int64_t(in.Data().size()))
        Invalid();
    auto raster = TRaster::Create(header.width, header.height, TPixelFormat::pfDevice);
    DecodeBmpRle(in.Bytes(in.Remaining()), header.compression, palette, true, *raster);
    // The file stays with the picture while it is unchanged and is written back as it was.
    bmp.keptFile = std::make_shared<const std::vector<uint8_t>>(in.Data().begin(), in.Data().end());
    return raster;
}

struct WriteLayout {
    uint16_t bits = 0;
    uint32_t compression = biRGB;
    std::array<uint32_t, 3> masks{};
    std::vector<TColor> table;
    bool os2 = false;
};

WriteLayout LayoutFor(const TRaster& raster, const TBmpDescription& bmp)
{
    WriteLayout layout;
    layout.bits = uint16_t(raster.bitsPerPixel);
    layout.os2 = bmp.os2;
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

std::vector<uint8_t> HeadersFor(const TRaster& raster, const TBmpDescription& bmp, const WriteLayout& layout)
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
        Put32(out, uint32_t(bmp.topDown ? -raster.height : raster.height));
        Put16(out, 1);
        Put16(out, layout.bits);
        Put32(out, layout.compression);
        Put32(out, imageSize);
        Put32(out, uint32_t(bmp.xPelsPerMeter));
        Put32(out, uint32_t(bmp.yPelsPerMeter));
        Put32(out, uint32_t(layout.table.size()));
        Put32(out, bmp.importantColors);
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

TBmpFacts ReadBmpFacts(std::span<const uint8_t> file)
{
    TByteCursor in(file);
    const std::span<const uint8_t> fileHeader = in.Bytes(kFileHeaderSize);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        Invalid();
    TBmpFacts facts{ReadInfoHeader(in)};
    const BmpHeader& header = facts.header;
    CheckDimensions(header);
    facts.alphaMask = UsableAlphaMask(header) != 0;
    if (header.compression == biRGB || header.compression == biBitFields) {
        // As the reader measures it: the pixels follow the colour table.
        const uint64_t table = uint64_t(ColorCount(header)) * (header.os2 ? 3 : 4);
        const uint64_t rows = uint64_t(header.height < 0 ? -int64_t(header.height) : header.height);
        const uint64_t lastRow = (uint64_t(header.width) * header.bitsPerPixel + 7) / 8;
        const uint64_t stride = (lastRow + 3) / 4 * 4;
        const uint64_t afterTable = in.Remaining() - std::min<uint64_t>(in.Remaining(), table);
        const uint64_t available = header.imageSize != 0 ? std::min<uint64_t>(header.imageSize, afterTable) : afterTable;
        facts.cutShort = available < (rows - 1) * stride + lastRow;
    }
    return facts;
}

void TBitmap::ReadBmp(std::span<const uint8_t> file, const TRowRequest& rows)
{
    if (file.empty()) {
        Clear();
        return;
    }
    TByteCursor in(file);
    const std::span<const uint8_t> fileHeader = in.Bytes(kFileHeaderSize);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        Invalid();
    const BmpHeader header = ReadInfoHeader(in);
    CheckDimensions(header);

    TBmpDescription bmp = DescriptionOf(header);
    std::shared_ptr<TRaster> raster;
    if (header.compression == biRGB || header.compression == biBitFields) {
        raster = ReadUncompressed(in, header, rows, bmp);
        if (const uint32_t alphaMask = UsableAlphaMask(header); alphaMask != 0)
            raster = WithAlphaOf(std::move(raster), alphaMask);
    } else if (header.compression == biRLE8 || header.compression == biRLE4)
        raster = ReadRunLength(in, header, bmp);
    else
        Invalid();
    AdoptRaster(std::move(raster), std::move(bmp));
}

void TBitmap::WriteBmpStream(TStream& stream) const
{
    if (raster_ == nullptr)
        return;
    if (bmp_.keptFile) {
        stream.WriteBuffer(*bmp_.keptFile);
        return;
    }
    std::optional<TRaster> flattened;
    const TRaster& raster = WithoutAlpha(*raster_, flattened);
    const WriteLayout layout = LayoutFor(raster, bmp_);
    stream.WriteBuffer(HeadersFor(raster, bmp_, layout));
    for (int32_t fileRow = 0; fileRow < raster.height; ++fileRow) {
        const int32_t y = bmp_.topDown ? fileRow : raster.height - 1 - fileRow;
        stream.WriteBuffer(raster.Row(y), raster.stride);
    }
}

std::vector<uint8_t> EncodeDib(const TRaster& picture)
{
    std::optional<TRaster> flattened;
    const TRaster& raster = WithoutAlpha(picture, flattened);
    // A bottom-up bitmap with the Windows header, whatever file the picture came from.
    const TBmpDescription plain;
    std::vector<uint8_t> out = HeadersFor(raster, plain, LayoutFor(raster, plain));
    out.erase(out.begin(), out.begin() + kFileHeaderSize);
    out.reserve(out.size() + raster.stride * size_t(raster.height));
    for (int32_t y = raster.height - 1; y >= 0; --y)
        out.insert(out.end(), raster.Row(y), raster.Row(y) + raster.stride);
    return out;
}

}  // namespace corvalin

#include "formats/ico/IcoReader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <tuple>
#include <utility>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "formats/ico/IcoWriter.h"
#include "formats/metadata/PictureMetadata.h"
#include "formats/png/PngImage.h"
#include "picture/Bitmap.h"
#include "picture/RowCodec.h"

namespace corvalin {

namespace {

constexpr auto LE = TByteOrder::LittleEndian;
constexpr auto BE = TByteOrder::BigEndian;
constexpr size_t kDirectoryEntrySize = 16;
constexpr uint16_t kIconType = 1, kCursorType = 2;
constexpr size_t kBmpFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBitFields = 3;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

[[noreturn]] void Invalid() { throw EInvalidGraphic("Symboldatei ist ungültig"); }

uint32_t PngSamples(uint8_t colorType)
{
    switch (colorType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
    }
}

// Fills in the size and depth from the entry's own header; false for data
// that begin with neither header.
bool DescribeEntry(TIconEntry& entry, uint8_t directoryHeight)
{
    const std::span<const uint8_t> d = entry.data;
    if (d.size() >= 26 && std::memcmp(d.data(), kPngSignature, sizeof kPngSignature) == 0) {
        const uint32_t width = Get32(d.data() + 16, BE), height = Get32(d.data() + 20, BE);
        if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX)
            return false;
        entry.png = true;
        entry.width = int32_t(width);
        entry.height = int32_t(height);
        entry.bitsPerPixel = uint32_t(d[24]) * PngSamples(d[25]);
        return true;
    }
    if (d.size() < kCoreHeaderSize)
        return false;
    const uint32_t headerSize = Get32(d.data(), LE);
    int64_t width = 0, height = 0;
    if (headerSize == kCoreHeaderSize) {
        width = Get16(d.data() + 4, LE);
        height = Get16(d.data() + 6, LE);
        entry.bitsPerPixel = Get16(d.data() + 10, LE);
    } else if (headerSize >= kInfoHeaderSize && d.size() >= kInfoHeaderSize) {
        width = int32_t(Get32(d.data() + 4, LE));
        height = int32_t(Get32(d.data() + 8, LE));
        entry.bitsPerPixel = Get16(d.data() + 14, LE);
    } else {
        return false;
    }
    // The bitmap's height counts the mask's rows too; a few writers leave
    // them out and the directory then names the whole height.
    const int64_t named = directoryHeight == 0 ? 256 : directoryHeight;
    if (height != named)
        height /= 2;
    if (width <= 0 || height <= 0)
        return false;
    entry.width = int32_t(width);
    entry.height = int32_t(height);
    return true;
}

// A BMP file of the entry's pixels alone: a file header in front, and the
// height without the mask's rows.
std::vector<uint8_t> PixelsAsBmpFile(const TIconEntry& entry)
{
    std::vector<uint8_t> file{'B', 'M'};
    Put32(file, uint32_t(std::min<size_t>(kBmpFileHeaderSize + entry.data.size(), UINT32_MAX)), LE);
    Put32(file, 0, LE);
    Put32(file, 0, LE);  // the reader takes the pixels right after the colour table
    file.insert(file.end(), entry.data.begin(), entry.data.end());
    uint8_t* header = file.data() + kBmpFileHeaderSize;
    if (Get32(header, LE) == kCoreHeaderSize) {
        header[6] = uint8_t(entry.height);
        header[7] = uint8_t(entry.height >> 8);
    } else {
        for (int i = 0; i < 4; ++i)
            header[8 + i] = uint8_t(uint32_t(entry.height) >> (8 * i));
    }
    return file;
}

// The AND mask behind the pixels: one bit a pixel, rows bottom up, each a
// multiple of 4 bytes; empty for compressed pixels, whose end is unknown.
std::span<const uint8_t> MaskOf(const TIconEntry& entry)
{
    const std::span<const uint8_t> d = entry.data;
    const uint32_t headerSize = Get32(d.data(), LE);
    const bool core = headerSize == kCoreHeaderSize;
    const uint32_t compression = core ? 0 : Get32(d.data() + 16, LE);
    if (compression != 0 && compression != kBitFields)
        return {};
    const uint32_t used = core ? 0 : Get32(d.data() + 32, LE);
    const uint64_t colors = used != 0 ? used : entry.bitsPerPixel <= 8 ? 1u << entry.bitsPerPixel : 0;
    const uint64_t masks = compression == kBitFields && headerSize == kInfoHeaderSize ? 12 : 0;
    const uint64_t stride = (uint64_t(entry.width) * entry.bitsPerPixel + 31) / 32 * 4;
    const uint64_t start = headerSize + masks + colors * (core ? 3 : 4) + stride * uint64_t(entry.height);
    if (start >= d.size())
        return {};
    return d.subspan(size_t(start));
}

class TAndMask {
public:
    TAndMask(std::span<const uint8_t> bits, const TIconEntry& entry)
        : bits_(bits), stride_((size_t(entry.width) + 31) / 32 * 4), height_(entry.height)
    {
    }
    // Pixels the mask does not reach are opaque.
    bool Transparent(int x, int y) const
    {
        const size_t at = size_t(height_ - 1 - y) * stride_ + size_t(x) / 8;
        return at < bits_.size() && (bits_[at] >> (7 - x % 8) & 1) != 0;
    }

private:
    std::span<const uint8_t> bits_;
    size_t stride_;
    int32_t height_;
};

bool AnyTransparent(const TAndMask& mask, const TRaster& raster)
{
    for (int y = 0; y < raster.height; ++y)
        for (int x = 0; x < raster.width; ++x)
            if (mask.Transparent(x, y))
                return true;
    return false;
}

// The lowest and highest fourth byte of a 32-bit raster.
std::pair<uint8_t, uint8_t> AlphaRange(const TRaster& raster)
{
    uint8_t low = 255, high = 0;
    for (int y = 0; y < raster.height; ++y) {
        const uint8_t* row = raster.Row(y);
        for (int x = 0; x < raster.width; ++x) {
            low = std::min(low, row[4 * x + 3]);
            high = std::max(high, row[4 * x + 3]);
        }
    }
    return {low, high};
}

// 32-bit pixels of the raster's colours, opaque where the mask is clear.
std::shared_ptr<TRaster> MaskedRaster(const TRaster& pixels, const TAndMask& mask)
{
    auto masked = TRaster::Create(pixels.width, pixels.height, TPixelFormat::pf32bit);
    masked->hasAlpha = true;
    std::vector<uint8_t> bgr(size_t(pixels.width) * 3);
    for (int y = 0; y < pixels.height; ++y) {
        DecodeRowToBgr(pixels, y, bgr.data());
        uint8_t* out = masked->Row(y);
        for (int x = 0; x < pixels.width; ++x, out += 4) {
            std::memcpy(out, bgr.data() + 3 * size_t(x), 3);
            out[3] = mask.Transparent(x, y) ? 0 : 255;
        }
    }
    return masked;
}

// Decodes the entry into `pixels`; true when its data were cut short. A
// 32-bit entry carries its opacity in the fourth bytes; only when they are
// all 0 (older icons) does the mask say which pixels are transparent.
bool DecodeBitmapEntry(const TIconEntry& entry, TBitmap& pixels)
{
    pixels.ReadBmp(PixelsAsBmpFile(entry));
    const bool damaged = pixels.BmpDescription().damaged;
    const TRaster& raster = *pixels.Raster();
    const TAndMask mask(MaskOf(entry), entry);
    const bool plain32 = raster.format == TPixelFormat::pf32bit && raster.bitsPerPixel == 32;
    const auto [lowest, highest] = plain32 ? AlphaRange(raster) : std::pair<uint8_t, uint8_t>{0, 0};
    if (highest != 0)
        pixels.MutableRaster().hasAlpha = lowest != 255;  // all 255: opaque
    else if (AnyTransparent(mask, raster))
        pixels.AdoptRaster(MaskedRaster(raster, mask));
    return damaged;
}

struct TIconDirectory {
    std::vector<TIconEntry> entries;
    bool cursor = false;
    bool incomplete = false;  // an entry's data are cut short or missing
};

TIconDirectory ReadDirectory(std::span<const uint8_t> file)
{
    TByteCursor in(file);
    if (file.size() < 6)
        Invalid();
    const uint16_t reserved = in.U16LE(), type = in.U16LE(), count = in.U16LE();
    if (reserved != 0 || (type != kIconType && type != kCursorType) || count == 0 ||
        count > in.Remaining() / kDirectoryEntrySize)
        Invalid();
    const std::span<const uint8_t> records = in.Bytes(count * kDirectoryEntrySize);
    TIconDirectory directory;
    directory.cursor = type == kCursorType;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* record = records.data() + i * kDirectoryEntrySize;
        const uint32_t size = Get32(record + 8, LE), offset = Get32(record + 12, LE);
        TIconEntry entry;
        // A cursor keeps its hot spot where an icon has planes and depth.
        entry.hotspotX = Get16(record + 4, LE);
        entry.hotspotY = Get16(record + 6, LE);
        if (offset < file.size())
            entry.data = file.subspan(offset, std::min<size_t>(size, file.size() - offset));
        directory.incomplete = directory.incomplete || entry.data.size() < size;
        if (DescribeEntry(entry, record[1]))
            directory.entries.push_back(entry);
    }
    if (directory.entries.empty())
        Invalid();
    return directory;
}

// Each size once, the largest first, sizes of one area in directory order;
// sorted rather than searched, as a directory may hold 65,535 entries.
std::vector<TIconSize> SizesOf(const std::vector<TIconEntry>& entries)
{
    struct TSeen {
        TIconSize size;
        size_t first;  // the entry it is first seen in
    };
    std::vector<TSeen> seen;
    seen.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        seen.push_back({{entries[i].width, entries[i].height}, i});
    const auto bySize = [](const TSeen& a, const TSeen& b) {
        return std::tie(a.size.width, a.size.height, a.first) < std::tie(b.size.width, b.size.height, b.first);
    };
    std::sort(seen.begin(), seen.end(), bySize);
    seen.erase(std::unique(seen.begin(), seen.end(), [](const TSeen& a, const TSeen& b) { return a.size == b.size; }),
               seen.end());
    std::sort(seen.begin(), seen.end(), [](const TSeen& a, const TSeen& b) {
        const int64_t areaA = int64_t(a.size.width) * a.size.height, areaB = int64_t(b.size.width) * b.size.height;
        return areaA != areaB ? areaA > areaB : a.first < b.first;
    });
    std::vector<TIconSize> sizes;
    sizes.reserve(seen.size());
    for (const TSeen& s : seen)
        sizes.push_back(s.size);
    return sizes;
}

}  // namespace

std::vector<TIconEntry> ReadIconDirectory(std::span<const uint8_t> file)
{
    return ReadDirectory(file).entries;
}

const TIconEntry& ChosenEntry(const std::vector<TIconEntry>& entries)
{
    auto area = [](const TIconEntry& e) { return int64_t(e.width) * e.height; };
    const TIconEntry* chosen = &entries.front();
    for (const TIconEntry& entry : entries)
        if (area(entry) > area(*chosen) ||
            (area(entry) == area(*chosen) && entry.bitsPerPixel > chosen->bitsPerPixel))
            chosen = &entry;
    return *chosen;
}

size_t LoadIcoFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    const TIconDirectory directory = ReadDirectory(file);
    const TIconEntry& entry = ChosenEntry(directory.entries);
    TPictureMetadata loaded;
    if (entry.png) {
        LoadPngFile(picture, entry.data, loaded);
    } else {
        TBitmap decoded;
        loaded.source.damaged = DecodeBitmapEntry(entry, decoded);
        picture.AssignPicture(&decoded);
    }
    loaded.source.damaged = loaded.source.damaged || directory.incomplete;
    loaded.iconSizes = SizesOf(directory.entries);
    // The icon writer keeps only so many sizes: an icon of more holds
    // pictures that no icon written from it would.
    const size_t pictures = loaded.iconSizes.size() > kMaxIconSizesWritten ? loaded.iconSizes.size() : 1;
    if (directory.cursor)
        loaded.cursorHotspot = TCursorHotspot{std::min<int32_t>(entry.hotspotX, entry.width - 1),
                                              std::min<int32_t>(entry.hotspotY, entry.height - 1), entry.width,
                                              entry.height};
    metadata = std::move(loaded);
    return pictures;
}

}  // namespace corvalin

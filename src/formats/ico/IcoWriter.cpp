#include "formats/ico/IcoWriter.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/Stream.h"
#include "common/Tools.h"
#include "formats/metadata/PictureMetadata.h"
#include "formats/png/PngImage.h"
#include "picture/Bitmap.h"
#include "picture/RowCodec.h"

namespace corvalin {

namespace {

constexpr auto LE = TByteOrder::LittleEndian;
constexpr int32_t kMaxIconSide = 256;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr size_t kDirectoryEntrySize = 16;

void CheckSize(const TBitmap& picture)
{
    if (picture.Width() > kMaxIconSide || picture.Height() > kMaxIconSide)
        throw EInvalidGraphic(FormatText(
            "Symbole können höchstens 256 x 256 Pixel groß sein; das Bild hat %d x %d Pixel",
            {std::to_string(picture.Width()), std::to_string(picture.Height())}));
}

bool IsIndexed(const TRaster& raster)
{
    return raster.bitsPerPixel == 1 || raster.bitsPerPixel == 4 || raster.bitsPerPixel == 8;
}

uint8_t IndexAt(const uint8_t* row, int bits, int x)
{
    switch (bits) {
    case 1: return uint8_t(row[x / 8] >> (7 - x % 8) & 1);
    case 4: return uint8_t(x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
    default: return row[x];
    }
}

void SetIndex(uint8_t* row, int bits, int x, uint8_t index)
{
    switch (bits) {
    case 1: row[x / 8] = uint8_t(row[x / 8] | index << (7 - x % 8)); break;
    case 4: row[x / 2] = uint8_t(row[x / 2] | (x % 2 == 0 ? index << 4 : index)); break;
    default: row[x] = index; break;
    }
}

// The picture as icon pixels: a palette raster as it is, anything else as
// blue, green, red and opacity (opaque when the picture has none).
std::shared_ptr<TRaster> IconPixels(const TRaster& raster)
{
    if (IsIndexed(raster))
        return std::make_shared<TRaster>(raster);
    auto bgra = TRaster::Create(raster.width, raster.height, TPixelFormat::pf32bit);
    bgra->hasAlpha = true;
    std::vector<uint8_t> bgr(size_t(raster.width) * 3);
    for (int y = 0; y < raster.height; ++y) {
        DecodeRowToBgr(raster, y, bgr.data());
        uint8_t* out = bgra->Row(y);
        const uint8_t* in = raster.Row(y);
        for (int x = 0; x < raster.width; ++x, out += 4) {
            std::memcpy(out, bgr.data() + 3 * size_t(x), 3);
            out[3] = raster.hasAlpha ? in[4 * x + 3] : 255;
        }
    }
    return bgra;
}

// Nearest-neighbour scaling that keeps the layout, indexes and opacity.
std::shared_ptr<TRaster> Scaled(const TRaster& pixels, TIconSize size)
{
    auto scaled = TRaster::Create(size.width, size.height, pixels.format, pixels.bitsPerPixel);
    scaled->palette = pixels.palette;
    scaled->hasAlpha = pixels.hasAlpha;
    for (int y = 0; y < size.height; ++y) {
        const uint8_t* in = pixels.Row(int(int64_t(y) * pixels.height / size.height));
        uint8_t* out = scaled->Row(y);
        for (int x = 0; x < size.width; ++x) {
            const int from = int(int64_t(x) * pixels.width / size.width);
            if (IsIndexed(pixels))
                SetIndex(out, pixels.bitsPerPixel, x, IndexAt(in, pixels.bitsPerPixel, from));
            else
                std::memcpy(out + 4 * x, in + 4 * from, 4);
        }
    }
    return scaled;
}

std::vector<uint8_t> PngEntry(const TRaster& pixels)
{
    TBitmap picture;
    picture.AdoptRaster(std::make_shared<TRaster>(pixels));
    TPNGImage png;
    png.Assign(picture);
    TMemoryStream out;
    png.SaveToStream(out);
    return out.TakeBytes();
}

// Bitmap data without a file header: the header with the height of pixels
// and mask together, the palette, the pixel rows and the mask rows, both
// bottom up and each a multiple of 4 bytes. The mask marks the pixels of no
// opacity; a palette entry has none to mark.
std::vector<uint8_t> BitmapEntry(const TRaster& pixels)
{
    const uint32_t bits = uint32_t(pixels.bitsPerPixel);
    const uint32_t colors = IsIndexed(pixels) ? 1u << bits : 0;
    const size_t stride = (size_t(pixels.width) * bits + 31) / 32 * 4;
    const size_t maskStride = (size_t(pixels.width) + 31) / 32 * 4;
    const size_t rows = size_t(pixels.height);
    std::vector<uint8_t> entry;
    for (uint32_t value : {kInfoHeaderSize, uint32_t(pixels.width), uint32_t(2 * pixels.height)})
        Put32(entry, value, LE);
    Put16(entry, 1, LE);
    Put16(entry, uint16_t(bits), LE);
    for (uint32_t value : {0u, uint32_t((stride + maskStride) * rows), 0u, 0u, colors, 0u})
        Put32(entry, value, LE);
    for (uint32_t i = 0; i < colors; ++i) {
        const TColor color = i < pixels.palette.size() ? pixels.palette[i] : RGB(0, 0, 0);
        entry.insert(entry.end(), {BlueOf(color), GreenOf(color), RedOf(color), 0});
    }
    const size_t rowBytes = (size_t(pixels.width) * bits + 7) / 8;
    for (size_t r = rows; r-- > 0;) {
        const uint8_t* row = pixels.Row(int(r));
        entry.insert(entry.end(), row, row + rowBytes);
        entry.insert(entry.end(), stride - rowBytes, 0);
    }
    for (size_t r = rows; r-- > 0;) {
        std::vector<uint8_t> mask(maskStride, 0);
        if (!IsIndexed(pixels)) {
            const uint8_t* row = pixels.Row(int(r));
            for (int x = 0; x < pixels.width; ++x)
                if (row[4 * x + 3] == 0)
                    mask[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
        }
        entry.insert(entry.end(), mask.begin(), mask.end());
    }
    return entry;
}

// A file named .cur (in any case) is a cursor.
bool NamesCursor(const std::string& fileName)
{
    constexpr std::string_view kCursor = ".cur";
    if (fileName.size() < kCursor.size())
        return false;
    const std::string_view ending = std::string_view(fileName).substr(fileName.size() - kCursor.size());
    return std::equal(ending.begin(), ending.end(), kCursor.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// The source cursor's hot spot moved with the picture's scaling into an
// entry of the size given; the top left corner without a source cursor.
std::pair<uint16_t, uint16_t> HotspotFor(const TIconSize& size, const std::optional<TCursorHotspot>& hotspot)
{
    if (!hotspot || hotspot->width <= 0 || hotspot->height <= 0)
        return {0, 0};
    return {uint16_t(int64_t(hotspot->x) * size.width / hotspot->width),
            uint16_t(int64_t(hotspot->y) * size.height / hotspot->height)};
}

// The picture's own size first, then the largest of the smaller sizes the
// source icon had, up to kMaxIconSizesWritten in all.
std::vector<TIconSize> EntrySizes(const TBitmap& picture, std::vector<TIconSize> kept)
{
    std::stable_sort(kept.begin(), kept.end(), [](const TIconSize& a, const TIconSize& b) {
        return int64_t(a.width) * a.height > int64_t(b.width) * b.height;
    });
    std::vector<TIconSize> sizes{{picture.Width(), picture.Height()}};
    for (const TIconSize& size : kept) {
        if (sizes.size() == kMaxIconSizesWritten)
            break;
        if (size.width > 0 && size.height > 0 && size.width <= picture.Width() && size.height <= picture.Height() &&
            std::find(sizes.begin(), sizes.end(), size) == sizes.end())
            sizes.push_back(size);
    }
    return sizes;
}

// The offset behind an entry at `offset` of `bytes`; the directory's 32
// bits must reach every entry, which a file past 4 GiB they cannot.
uint32_t OffsetBehind(uint32_t offset, size_t bytes)
{
    if (bytes > UINT32_MAX - offset)
        throw EInvalidGraphic("Das Symbol wäre größer als 4 GB und wird nicht gespeichert");
    return uint32_t(offset + bytes);
}

}  // namespace

void WriteIcoToStream(TStream& stream, const TBitmap& picture, const TPictureMetadata& metadata, bool cursor)
{
    const TRaster* raster = picture.Raster();
    if (raster == nullptr || raster->width == 0 || raster->height == 0)
        return;
    CheckSize(picture);
    const std::shared_ptr<TRaster> pixels = IconPixels(*raster);
    const std::vector<TIconSize> sizes = EntrySizes(picture, metadata.iconSizes);

    std::vector<std::vector<uint8_t>> entries;
    std::vector<uint8_t> directory;
    Put16(directory, 0, LE);
    Put16(directory, cursor ? 2 : 1, LE);
    Put16(directory, uint16_t(sizes.size()), LE);
    uint32_t offset = uint32_t(directory.size() + kDirectoryEntrySize * sizes.size());
    for (const TIconSize& size : sizes) {
        const bool own = size.width == raster->width && size.height == raster->height;
        const std::shared_ptr<TRaster> entryPixels = own ? pixels : Scaled(*pixels, size);
        const bool png = size.width == kMaxIconSide || size.height == kMaxIconSide;
        entries.push_back(png ? PngEntry(own ? *raster : *entryPixels) : BitmapEntry(*entryPixels));
        const uint32_t bits = png ? 32 : uint32_t(entryPixels->bitsPerPixel);
        // 256 is written as 0 in the directory's bytes.
        directory.insert(directory.end(), {uint8_t(size.width), uint8_t(size.height),
                                           uint8_t(bits < 8 ? 1u << bits : 0), 0});
        if (cursor) {
            const auto [x, y] = HotspotFor(size, metadata.cursorHotspot);
            Put16(directory, x, LE);
            Put16(directory, y, LE);
        } else {
            Put16(directory, 1, LE);  // planes
            Put16(directory, uint16_t(bits), LE);
        }
        Put32(directory, uint32_t(entries.back().size()), LE);
        Put32(directory, offset, LE);
        offset = OffsetBehind(offset, entries.back().size());
    }
    stream.WriteBuffer(directory);
    for (const std::vector<uint8_t>& entry : entries)
        stream.WriteBuffer(entry);
}

size_t IcoPicturesWritten(const TBitmap& picture, const TPictureMetadata& metadata)
{
    return EntrySizes(picture, metadata.iconSizes).size();
}

void SaveIcoFile(const TBitmap& picture, const std::string& fileName, int32_t,
                 const TPictureMetadata& metadata)
{
    CheckSize(picture);
    // A cursor keeps pointing wherever it is saved; its name may be an icon's.
    const bool cursor = metadata.cursorHotspot.has_value() || NamesCursor(fileName);
    WriteFileAtomically(fileName, [&](TStream& file) { WriteIcoToStream(file, picture, metadata, cursor); });
}

}  // namespace corvalin

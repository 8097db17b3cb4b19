#include "formats/psd/PsdWriter.h"

#include <algorithm>
#include <vector>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"
#include "picture/RowCodec.h"

namespace corvalin {

namespace {

constexpr auto BE = TByteOrder::BigEndian;
constexpr int32_t kMaxPsdSide = 30000;
constexpr const char* kTooLargeText =
    "Bilder mit mehr als 30000 Pixeln Breite oder Höhe können nicht als Photoshop-Datei gespeichert werden";

enum TPsdMode : uint16_t { pmBitmap = 0, pmGrey = 1, pmIndexed = 2, pmRGB = 3 };

struct TPsdLayout {
    TPsdMode mode;
    uint16_t channels;
    uint16_t depth;
};

bool IsGreyRamp(const std::vector<TColor>& palette)
{
    if (palette.size() != 256)
        return false;
    for (size_t i = 0; i < palette.size(); ++i)
        if (palette[i] != RGB(uint8_t(i), uint8_t(i), uint8_t(i)))
            return false;
    return true;
}

TPsdLayout LayoutOf(const TRaster& raster)
{
    switch (raster.bitsPerPixel) {
    case 1: return {pmBitmap, 1, 1};
    case 4: return {pmIndexed, 1, 8};
    case 8: return {IsGreyRamp(raster.palette) ? pmGrey : pmIndexed, 1, 8};
    default: return {pmRGB, uint16_t(raster.hasAlpha ? 4 : 3), 8};
    }
}

TColor PaletteColor(const TRaster& raster, size_t index)
{
    return index < raster.palette.size() ? raster.palette[index] : RGB(0, 0, 0);
}

bool IsDark(TColor color)
{
    return RedOf(color) * 299 + GreenOf(color) * 587 + BlueOf(color) * 114 < 128 * 1000;
}

// Channel `channel` of row y: red, green, blue and opacity of an RGB
// document, the indexes or levels of a one-channel one, and for a bitmap
// document a bit a pixel, set for black.
void ChannelRow(const TRaster& raster, TPsdMode mode, int y, size_t channel, std::vector<uint8_t>& bgr,
                std::vector<uint8_t>& out)
{
    const uint8_t* row = raster.Row(y);
    std::fill(out.begin(), out.end(), 0);
    switch (mode) {
    case pmBitmap:
        for (int x = 0; x < raster.width; ++x)
            if (IsDark(PaletteColor(raster, row[x / 8] >> (7 - x % 8) & 1)))
                out[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
        return;
    case pmGrey: case pmIndexed:
        for (int x = 0; x < raster.width; ++x)
            out[size_t(x)] = raster.bitsPerPixel == 4 ? uint8_t(x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F)
                                                      : row[x];
        return;
    case pmRGB:
        if (channel == 3) {
            for (int x = 0; x < raster.width; ++x)
                out[size_t(x)] = row[4 * x + 3];
            return;
        }
        DecodeRowToBgr(raster, y, bgr.data());
        for (int x = 0; x < raster.width; ++x)
            out[size_t(x)] = bgr[3 * size_t(x) + 2 - channel];
        return;
    }
}

// PackBits: runs of 3 to 128 equal bytes as a count byte 1 - n and the
// byte, everything else as literals of up to 128 bytes after n - 1.
void PackBits(const std::vector<uint8_t>& row, std::vector<uint8_t>& out)
{
    const size_t count = row.size();
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && row[i + run] == row[i])
            ++run;
        if (run >= 3) {
            out.push_back(uint8_t(257 - run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        const size_t start = i;
        while (i < count && i - start < 128 &&
               !(i + 2 < count && row[i] == row[i + 1] && row[i] == row[i + 2]))
            ++i;
        out.push_back(uint8_t(i - start - 1));
        out.insert(out.end(), row.begin() + ptrdiff_t(start), row.begin() + ptrdiff_t(i));
    }
}

std::vector<uint8_t> HeaderOf(const TRaster& raster, const TPsdLayout& layout)
{
    std::vector<uint8_t> header{'8', 'B', 'P', 'S'};
    Put16(header, 1, BE);
    header.insert(header.end(), 6, 0);
    Put16(header, layout.channels, BE);
    Put32(header, uint32_t(raster.height), BE);
    Put32(header, uint32_t(raster.width), BE);
    Put16(header, layout.depth, BE);
    Put16(header, layout.mode, BE);
    // Colour mode data: an indexed document's 256 reds, then greens, then blues.
    if (layout.mode == pmIndexed) {
        Put32(header, 768, BE);
        for (uint8_t (*component)(TColor) : {RedOf, GreenOf, BlueOf})
            for (size_t i = 0; i < 256; ++i)
                header.push_back(component(PaletteColor(raster, i)));
    } else {
        Put32(header, 0, BE);
    }
    Put32(header, 0, BE);  // no image resources
    Put32(header, 0, BE);  // no layers: the merged image is the document
    Put16(header, 1, BE);  // PackBits
    return header;
}

}  // namespace

void WritePsdToStream(TStream& stream, const TBitmap& picture)
{
    const TRaster* raster = picture.Raster();
    if (raster == nullptr || raster->width == 0 || raster->height == 0)
        return;
    if (raster->width > kMaxPsdSide || raster->height > kMaxPsdSide)
        throw EInvalidGraphic(kTooLargeText);
    const TPsdLayout layout = LayoutOf(*raster);
    stream.WriteBuffer(HeaderOf(*raster, layout));

    // The packed length of every row of every channel comes first; the
    // lengths are known once the rows are written.
    const int64_t lengthsAt = stream.Position();
    std::vector<uint8_t> lengths(size_t(layout.channels) * size_t(raster->height) * 2, 0);
    stream.WriteBuffer(lengths);
    lengths.clear();
    const size_t rowBytes = layout.mode == pmBitmap ? (size_t(raster->width) + 7) / 8 : size_t(raster->width);
    std::vector<uint8_t> row(rowBytes), bgr(size_t(raster->width) * 3), packed;
    for (size_t channel = 0; channel < layout.channels; ++channel)
        for (int y = 0; y < raster->height; ++y) {
            ChannelRow(*raster, layout.mode, y, channel, bgr, row);
            packed.clear();
            PackBits(row, packed);
            Put16(lengths, uint16_t(packed.size()), BE);
            stream.WriteBuffer(packed);
        }
    const int64_t end = stream.Position();
    stream.Seek(lengthsAt);
    stream.WriteBuffer(lengths);
    stream.Seek(end);
}

void SavePsdFile(const TBitmap& picture, const std::string& fileName, int32_t, const TPictureMetadata&)
{
    const TRaster* raster = picture.Raster();
    if (raster != nullptr && (raster->width > kMaxPsdSide || raster->height > kMaxPsdSide))
        throw EInvalidGraphic(kTooLargeText);
    WriteFileAtomically(fileName, [&](TStream& file) { WritePsdToStream(file, picture); });
}

}  // namespace corvalin

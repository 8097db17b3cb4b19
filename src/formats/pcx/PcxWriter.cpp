#include "formats/pcx/PcxWriter.h"

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

constexpr auto LE = TByteOrder::LittleEndian;
constexpr size_t kHeaderSize = 128;
constexpr uint8_t kTrailerMarker = 12;
constexpr uint16_t kDotsPerInch = 96;
// The header keeps the last column and row in 16 bits and the bytes of a
// plane row in 16 bits, which an even count of 65534 still fits.
constexpr int32_t kMaxPcxSide = 65534;
constexpr const char* kTooLargeText =
    "Bilder mit mehr als 65534 Pixeln Breite oder Höhe können nicht als PCX gespeichert werden";

struct TPcxLayout {
    uint8_t bitsPerPlane;
    uint8_t planes;
};

TPcxLayout LayoutOf(const TRaster& raster)
{
    switch (raster.bitsPerPixel) {
    case 1: return {1, 1};
    case 4: return {1, 4};
    case 8: return {8, 1};
    default: return {8, 3};
    }
}

uint8_t IndexAt(const TRaster& raster, const uint8_t* row, int x)
{
    switch (raster.bitsPerPixel) {
    case 1: return uint8_t(row[x / 8] >> (7 - x % 8) & 1);
    case 4: return uint8_t(x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
    default: return row[x];
    }
}

TColor PaletteColor(const TRaster& raster, uint8_t index)
{
    return index < raster.palette.size() ? raster.palette[index] : RGB(0, 0, 0);
}

// A one-bit PCX file is black and white whatever its header says: each
// pixel becomes the one of the two its colour is nearer to.
bool IsLight(TColor color)
{
    return RedOf(color) * 299 + GreenOf(color) * 587 + BlueOf(color) * 114 >= 128 * 1000;
}

// One plane row of bytes into runs of at most 63; a byte with its two top
// bits set is always written as a run, so that it is not taken for one.
void PackLine(const uint8_t* line, size_t count, std::vector<uint8_t>& out)
{
    for (size_t i = 0; i < count;) {
        size_t run = 1;
        while (i + run < count && run < 63 && line[i + run] == line[i])
            ++run;
        if (run > 1 || line[i] >= 0xC0)
            out.push_back(uint8_t(0xC0 | run));
        out.push_back(line[i]);
        i += run;
    }
}

// The plane rows of picture row y, each bytesPerLine long.
void PlaneRows(const TRaster& raster, int y, TPcxLayout layout, size_t bytesPerLine,
               std::vector<uint8_t>& planes, std::vector<uint8_t>& bgr)
{
    std::fill(planes.begin(), planes.end(), 0);
    const uint8_t* row = raster.Row(y);
    if (layout.planes == 3) {
        DecodeRowToBgr(raster, y, bgr.data());
        for (int x = 0; x < raster.width; ++x) {
            uint8_t pixel[3] = {bgr[3 * size_t(x) + 2], bgr[3 * size_t(x) + 1], bgr[3 * size_t(x)]};
            if (raster.hasAlpha) {
                // PCX keeps no opacity: the picture is shown over white.
                const unsigned alpha = row[4 * x + 3];
                for (uint8_t& c : pixel)
                    c = uint8_t((c * alpha + 255 * (255 - alpha) + 127) / 255);
            }
            for (size_t k = 0; k < 3; ++k)
                planes[k * bytesPerLine + size_t(x)] = pixel[k];
        }
        return;
    }
    if (layout.bitsPerPlane == 8) {
        std::copy_n(row, raster.width, planes.begin());
        return;
    }
    for (int x = 0; x < raster.width; ++x) {
        const uint8_t index = IndexAt(raster, row, x);
        const uint8_t bit = uint8_t(0x80 >> (x % 8));
        if (layout.planes == 1) {
            if (IsLight(PaletteColor(raster, index)))
                planes[size_t(x) / 8] |= bit;
            continue;
        }
        for (size_t k = 0; k < 4; ++k)
            if ((index >> k & 1) != 0)
                planes[k * bytesPerLine + size_t(x) / 8] |= bit;
    }
}

std::vector<uint8_t> HeaderOf(const TRaster& raster, TPcxLayout layout, size_t bytesPerLine)
{
    std::vector<uint8_t> header{10, 5, 1, layout.bitsPerPlane};
    for (uint32_t value : {0u, 0u, uint32_t(raster.width - 1), uint32_t(raster.height - 1),
                           uint32_t(kDotsPerInch), uint32_t(kDotsPerInch)})
        Put16(header, uint16_t(value), LE);
    // The 16-colour map: black and white for one bit, the palette for four.
    for (uint8_t i = 0; i < 16; ++i) {
        TColor color = RGB(0, 0, 0);
        if (layout.planes == 1 && layout.bitsPerPlane == 1)
            color = i == 1 ? RGB(255, 255, 255) : RGB(0, 0, 0);
        else if (layout.planes == 4)
            color = PaletteColor(raster, i);
        header.insert(header.end(), {RedOf(color), GreenOf(color), BlueOf(color)});
    }
    header.push_back(0);
    header.push_back(layout.planes);
    Put16(header, uint16_t(bytesPerLine), LE);
    Put16(header, 1, LE);  // colour palette
    header.resize(kHeaderSize, 0);
    return header;
}

}  // namespace

void WritePcxToStream(TStream& stream, const TBitmap& picture)
{
    const TRaster* raster = picture.Raster();
    if (raster == nullptr || raster->width == 0 || raster->height == 0)
        return;
    if (raster->width > kMaxPcxSide || raster->height > kMaxPcxSide)
        throw EInvalidGraphic(kTooLargeText);
    const TPcxLayout layout = LayoutOf(*raster);
    // Plane rows are an even number of bytes long.
    const size_t bytesPerLine = (size_t(raster->width) * layout.bitsPerPlane + 15) / 16 * 2;
    stream.WriteBuffer(HeaderOf(*raster, layout, bytesPerLine));

    std::vector<uint8_t> planes(bytesPerLine * layout.planes);
    std::vector<uint8_t> bgr(size_t(raster->width) * 3);
    std::vector<uint8_t> packed;
    for (int y = 0; y < raster->height; ++y) {
        PlaneRows(*raster, y, layout, bytesPerLine, planes, bgr);
        packed.clear();
        for (size_t k = 0; k < layout.planes; ++k)
            PackLine(planes.data() + k * bytesPerLine, bytesPerLine, packed);
        stream.WriteBuffer(packed);
    }
    if (layout.bitsPerPlane == 8 && layout.planes == 1) {
        std::vector<uint8_t> trailer{kTrailerMarker};
        for (uint32_t i = 0; i < 256; ++i) {
            const TColor color = PaletteColor(*raster, uint8_t(i));
            trailer.insert(trailer.end(), {RedOf(color), GreenOf(color), BlueOf(color)});
        }
        stream.WriteBuffer(trailer);
    }
}

void SavePcxFile(const TBitmap& picture, const std::string& fileName, int32_t, const TPictureMetadata&)
{
    const TRaster* raster = picture.Raster();
    if (raster != nullptr && (raster->width > kMaxPcxSide || raster->height > kMaxPcxSide))
        throw EInvalidGraphic(kTooLargeText);
    WriteFileAtomically(fileName, [&](TStream& file) { WritePcxToStream(file, picture); });
}

}  // namespace corvalin

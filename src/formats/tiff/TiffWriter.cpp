#include "formats/tiff/TiffWriter.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"
#include "picture/RowCodec.h"

namespace corvalin {

namespace {

// Width and height go into SHORT entries.
constexpr int32_t kMaxTiffSide = 65535;
constexpr const char* kTooLargeText =
    "Bilder mit mehr als 65535 Pixeln Breite oder Höhe können nicht als TIFF gespeichert werden";

// Every file states 87.7 pixels per inch and names its writer.
constexpr uint32_t kResolutionNumerator = 877;
constexpr uint32_t kResolutionDenominator = 10;
constexpr char kSoftware[10] = {'Q', 'u', 'e', 'n', 'n', 'a', 'w', 'e', 'r', 'k'};

enum TiffType : uint16_t { ttAscii = 2, ttShort = 3, ttLong = 4, ttRational = 5 };

enum TiffTag : uint16_t {
    tagNewSubfileType = 254, tagImageWidth = 256, tagImageLength = 257, tagBitsPerSample = 258,
    tagCompression = 259, tagPhotometric = 262, tagStripOffsets = 273, tagSamplesPerPixel = 277,
    tagRowsPerStrip = 278, tagStripByteCounts = 279, tagXResolution = 282, tagYResolution = 283,
    tagPlanarConfiguration = 284, tagResolutionUnit = 296, tagSoftware = 305, tagColorMap = 320,
    tagExtraSamples = 338
};

// ExtraSamples: the fourth sample is unassociated alpha.
constexpr uint32_t kUnassociatedAlpha = 2;

struct TiffEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;  // a SHORT sits in the first two bytes
};

// Little-endian bytes gathered before one write call.
using TiffBytes = std::vector<uint8_t>;
constexpr auto LE = TByteOrder::LittleEndian;

void Put16(TiffBytes& out, uint32_t value) { corvalin::Put16(out, uint16_t(value), LE); }
void Put32(TiffBytes& out, uint32_t value) { corvalin::Put32(out, value, LE); }

// Offsets are counted from where the file began in the stream.
class TiffOutput {
public:
    explicit TiffOutput(TStream& stream) : stream_(stream), base_(stream.Position()) {}

    uint32_t Offset() const { return uint32_t(stream_.Position() - base_); }

    void WriteHeader()
    {
        TiffBytes header;
        header.insert(header.end(), {'I', 'I'});
        Put16(header, 42);
        Put32(header, 8);  // replaced by the directory's offset once it is known
        stream_.WriteBuffer(header);
    }

    uint32_t WriteResolution()
    {
        const uint32_t at = Offset();
        TiffBytes value;
        Put32(value, kResolutionNumerator);
        Put32(value, kResolutionDenominator);
        stream_.WriteBuffer(value);
        return at;
    }

    uint32_t WriteSoftware()
    {
        const uint32_t at = Offset();
        stream_.WriteBuffer(kSoftware, sizeof kSoftware);
        return at;
    }

    uint32_t WriteBlock(const TiffBytes& block)
    {
        const uint32_t at = Offset();
        stream_.WriteBuffer(block);
        return at;
    }

    void WriteRow(const uint8_t* row, size_t count) { stream_.WriteBuffer(row, count); }

    // Writes the directory and points the header at it.
    void FinishWithDirectory(const std::vector<TiffEntry>& entries)
    {
        const uint32_t directory = Offset();
        TiffBytes bytes;
        Put16(bytes, uint32_t(entries.size()));
        for (const TiffEntry& e : entries) {
            Put16(bytes, e.tag);
            Put16(bytes, e.type);
            Put32(bytes, e.count);
            Put32(bytes, e.value);
        }
        Put32(bytes, 0);  // no next directory
        stream_.WriteBuffer(bytes);

        stream_.Seek(base_ + 4);
        TiffBytes offset;
        Put32(offset, directory);
        stream_.WriteBuffer(offset);
    }

private:
    TStream& stream_;
    int64_t base_;
};

struct CommonOffsets {
    uint32_t strip, xResolution, yResolution, software;
};

// Entries every layout shares, in tag order around the layout's own ones.
std::vector<TiffEntry> LeadingEntries(uint32_t width, uint32_t height, TiffEntry bitsPerSample,
                                      uint32_t photometric, uint32_t stripOffset, uint32_t samples,
                                      uint32_t stripBytes)
{
    return {
        {tagNewSubfileType, ttLong, 1, 0},
        {tagImageWidth, ttShort, 1, width},
        {tagImageLength, ttShort, 1, height},
        bitsPerSample,
        {tagCompression, ttShort, 1, 1},
        {tagPhotometric, ttShort, 1, photometric},
        {tagStripOffsets, ttLong, 1, stripOffset},
        {tagSamplesPerPixel, ttShort, 1, samples},
        {tagRowsPerStrip, ttLong, 1, height},
        {tagStripByteCounts, ttLong, 1, stripBytes},
    };
}

void AppendResolutionEntries(std::vector<TiffEntry>& entries, const CommonOffsets& at)
{
    entries.push_back({tagXResolution, ttRational, 1, at.xResolution});
    entries.push_back({tagYResolution, ttRational, 1, at.yResolution});
}

void AppendTrailingEntries(std::vector<TiffEntry>& entries, const CommonOffsets& at)
{
    entries.push_back({tagResolutionUnit, ttShort, 1, 2});
    entries.push_back({tagSoftware, ttAscii, sizeof kSoftware, at.software});
}

void WriteRows(TiffOutput& out, const TRaster& raster, size_t rowBytes)
{
    for (int y = 0; y < raster.height; ++y)
        out.WriteRow(raster.Row(y), rowBytes);
}

void WriteBilevel(TiffOutput& out, const TRaster& raster)
{
    const uint32_t w = uint32_t(raster.width), h = uint32_t(raster.height);
    const size_t rowBytes = (size_t(w) + 7) / 8;
    CommonOffsets at{};
    out.WriteHeader();
    at.strip = out.Offset();
    WriteRows(out, raster, rowBytes);
    at.xResolution = out.WriteResolution();
    at.yResolution = out.WriteResolution();
    at.software = out.WriteSoftware();

    auto entries = LeadingEntries(w, h, {tagBitsPerSample, ttShort, 1, 1}, 1, at.strip, 1,
                                  uint32_t(rowBytes * h));
    AppendResolutionEntries(entries, at);
    AppendTrailingEntries(entries, at);
    out.FinishWithDirectory(entries);
}

// Each component times 256, all red values first, then green, then blue;
// entries the picture's palette lacks are black.
TiffBytes ColorMapOf(const std::vector<TColor>& palette, uint32_t colors)
{
    TiffBytes map;
    for (uint8_t (*component)(TColor) : {RedOf, GreenOf, BlueOf})
        for (uint32_t i = 0; i < colors; ++i)
            Put16(map, i < palette.size() ? uint32_t(component(palette[i])) << 8 : 0);
    return map;
}

void WritePalette(TiffOutput& out, const TRaster& raster)
{
    const uint32_t bits = uint32_t(raster.bitsPerPixel);
    const uint32_t colors = 1u << bits;
    // A 4-bit row is written in whole pairs of bytes: the width drops to a multiple of 4.
    const uint32_t w = bits == 4 ? uint32_t(raster.width) / 4 * 4 : uint32_t(raster.width);
    const uint32_t h = uint32_t(raster.height);
    const size_t rowBytes = bits == 4 ? w / 2 : w;

    CommonOffsets at{};
    out.WriteHeader();
    const uint32_t colorMap = out.WriteBlock(ColorMapOf(raster.palette, colors));
    at.xResolution = out.WriteResolution();
    at.yResolution = out.WriteResolution();
    at.software = out.WriteSoftware();
    at.strip = out.Offset();
    WriteRows(out, raster, rowBytes);

    auto entries = LeadingEntries(w, h, {tagBitsPerSample, ttShort, 1, bits}, 3, at.strip, 1,
                                  uint32_t(rowBytes * h));
    AppendResolutionEntries(entries, at);
    AppendTrailingEntries(entries, at);
    entries.push_back({tagColorMap, ttShort, 3 * colors, colorMap});
    out.FinishWithDirectory(entries);
}

// A 4-bit picture narrower than 4 pixels would keep no column at all after
// the width is rounded down; it is written with 8 bits per pixel instead.
std::shared_ptr<TRaster> WidenedToEightBits(const TRaster& raster)
{
    auto wide = TRaster::Create(raster.width, raster.height, TPixelFormat::pf8bit);
    wide->palette = raster.palette;
    for (int y = 0; y < raster.height; ++y)
        for (int x = 0; x < raster.width; ++x)
            wide->Row(y)[x] = uint8_t((raster.Row(y)[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F);
    return wide;
}

// One row as red, green, blue triples, whatever the raster's layout; a
// raster with alpha gives red, green, blue, alpha.
void RowToRgb(const TRaster& raster, int y, uint8_t* rgb)
{
    const uint8_t* row = raster.Row(y);
    if (raster.hasAlpha) {
        for (int x = 0; x < raster.width; ++x, row += 4, rgb += 4) {
            rgb[0] = row[2];
            rgb[1] = row[1];
            rgb[2] = row[0];
            rgb[3] = row[3];
        }
        return;
    }
    const bool plain32 = raster.bitsPerPixel == 32 &&
                         !(raster.format == TPixelFormat::pfCustom && raster.HasMasks());
    if (raster.bitsPerPixel == 24 || plain32) {
        const int step = raster.bitsPerPixel / 8;
        for (int x = 0; x < raster.width; ++x, row += step, rgb += 3) {
            rgb[0] = row[2];
            rgb[1] = row[1];
            rgb[2] = row[0];
        }
        return;
    }
    // 15/16-bit and bit-field layouts are expanded to 8 bits per component.
    DecodeRowToBgr(raster, y, rgb);
    for (int x = 0; x < raster.width; ++x, rgb += 3)
        std::swap(rgb[0], rgb[2]);
}

void WriteRgb(TiffOutput& out, const TRaster& raster)
{
    const uint32_t w = uint32_t(raster.width), h = uint32_t(raster.height);
    const uint32_t samples = raster.hasAlpha ? 4 : 3;
    const size_t rowBytes = size_t(w) * samples;

    CommonOffsets at{};
    out.WriteHeader();
    at.xResolution = out.WriteResolution();
    at.yResolution = out.WriteResolution();
    TiffBytes bitsPerSample;
    for (uint32_t i = 0; i < samples; ++i)
        Put16(bitsPerSample, 8);
    const uint32_t bitsAt = out.WriteBlock(bitsPerSample);
    at.software = out.WriteSoftware();
    at.strip = out.Offset();
    std::vector<uint8_t> rgb(rowBytes);
    for (int y = 0; y < raster.height; ++y) {
        RowToRgb(raster, y, rgb.data());
        out.WriteRow(rgb.data(), rowBytes);
    }

    auto entries = LeadingEntries(w, h, {tagBitsPerSample, ttShort, samples, bitsAt}, 2, at.strip, samples,
                                  uint32_t(rowBytes * h));
    AppendResolutionEntries(entries, at);
    entries.push_back({tagPlanarConfiguration, ttShort, 1, 1});
    AppendTrailingEntries(entries, at);
    if (raster.hasAlpha)
        entries.push_back({tagExtraSamples, ttShort, 1, kUnassociatedAlpha});
    out.FinishWithDirectory(entries);
}

}  // namespace

void WriteTiffToStream(TStream& stream, const TBitmap& picture)
{
    const TRaster* raster = picture.Raster();
    if (raster == nullptr || raster->width == 0 || raster->height == 0)
        return;
    if (raster->width > kMaxTiffSide || raster->height > kMaxTiffSide)
        throw EInvalidGraphic(kTooLargeText);

    TiffOutput out(stream);
    switch (raster->bitsPerPixel) {
    case 1: WriteBilevel(out, *raster); break;
    case 4:
        if (raster->width < 4)
            WritePalette(out, *WidenedToEightBits(*raster));
        else
            WritePalette(out, *raster);
        break;
    case 8: WritePalette(out, *raster); break;
    default: WriteRgb(out, *raster); break;
    }
}

void SaveTiffFile(const TBitmap& picture, const std::string& fileName, int32_t, const TPictureMetadata&)
{
    const TRaster* raster = picture.Raster();
    if (raster != nullptr && (raster->width > kMaxTiffSide || raster->height > kMaxTiffSide))
        throw EInvalidGraphic(kTooLargeText);
    WriteFileAtomically(fileName, [&](TStream& file) { WriteTiffToStream(file, picture); });
}

}  // namespace corvalin

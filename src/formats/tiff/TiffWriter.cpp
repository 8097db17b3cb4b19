#include "formats/tiff/TiffWriter.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/Stream.h"
#include "formats/metadata/Exif.h"
#include "picture/Bitmap.h"
#include "picture/RowCodec.h"

namespace corvalin {

namespace {

// Width and height go into SHORT entries.
constexpr int32_t kMaxTiffSide = 65535;
constexpr const char* kTooLargeText =
    "Bilder mit mehr als 65535 Pixeln Breite oder Höhe können nicht als TIFF gespeichert werden";

// Every file states 87.7 pixels per inch and names its writer; an ASCII
// value ends in its zero byte, which the count includes.
constexpr uint32_t kResolutionNumerator = 877;
constexpr uint32_t kResolutionDenominator = 10;
constexpr char kSoftware[] = "Quennawerk";

enum TiffType : uint16_t { ttByte = 1, ttAscii = 2, ttShort = 3, ttLong = 4, ttRational = 5, ttUndefined = 7 };

enum TiffTag : uint16_t {
    tagNewSubfileType = 254,
    tagImageWidth = 256,
    tagImageLength = 257,
    tagBitsPerSample = 258,
    tagCompression = 259,
    tagPhotometric = 262,
    tagStripOffsets = 273,
    tagSamplesPerPixel = 277,
    tagRowsPerStrip = 278,
    tagStripByteCounts = 279,
    tagXResolution = 282,
    tagYResolution = 283,
    tagPlanarConfiguration = 284,
    tagResolutionUnit = 296,
    tagSoftware = 305,
    tagColorMap = 320,
    tagExtraSamples = 338,
    tagOrientation = 274,
    tagXmp = 700,
    tagIptc = 33723,
    tagPhotoshop = 34377,
    tagExifIfd = 34665,
    tagIccProfile = 34675,
    tagGpsIfd = 34853
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
    TiffOutput(TStream& stream, const TPictureMetadata& metadata)
        : stream_(stream), base_(stream.Position()), metadata_(metadata)
    {
    }

    uint32_t Offset() const { return uint32_t(stream_.Position() - base_); }

    void WriteHeader()
    {
        TiffBytes header;
        header.insert(header.end(), {'I', 'I'});
        Put16(header, 42);
        Put32(header, 8);  // replaced by the directory's offset once it is known
        stream_.WriteBuffer(header);
    }

    // The source's resolution in tenths of a pixel per inch where it stated
    // one, otherwise 87.7.
    uint32_t WriteResolution(double pixelsPerInch)
    {
        const uint32_t at = Offset();
        TiffBytes value;
        Put32(value, pixelsPerInch > 0 ? uint32_t(pixelsPerInch * kResolutionDenominator + 0.5) : kResolutionNumerator);
        Put32(value, kResolutionDenominator);
        stream_.WriteBuffer(value);
        return at;
    }

    uint32_t WriteXResolution() { return WriteResolution(metadata_.xPixelsPerInch); }
    uint32_t WriteYResolution() { return WriteResolution(metadata_.yPixelsPerInch); }

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

    // Writes the metadata's values and the directory of their entries and
    // the picture's, in tag order, and points the header at it.
    void FinishWithDirectory(std::vector<TiffEntry> entries, bool bilevel = false)
    {
        AppendMetadata(entries, bilevel);
        std::stable_sort(entries.begin(), entries.end(),
                         [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
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
    // Values of more than four bytes go behind the rows, each at an even offset.
    void AppendValue(std::vector<TiffEntry>& entries, uint16_t tag, uint16_t type, std::span<const uint8_t> bytes)
    {
        if (bytes.empty() || bytes.size() > UINT32_MAX)
            return;
        TiffEntry entry{tag, type, uint32_t(bytes.size()), 0};
        if (bytes.size() <= 4) {
            TiffBytes field(bytes.begin(), bytes.end());
            field.resize(4, 0);
            entry.value = Get32(field.data(), LE);
        } else {
            if (Offset() % 2 != 0)
                stream_.WriteBuffer(TiffBytes{0});
            entry.value = Offset();
            stream_.WriteBuffer(bytes.data(), bytes.size());
        }
        entries.push_back(entry);
    }

    static uint32_t ValueOf(const std::vector<TiffEntry>& entries, uint16_t tag)
    {
        for (const TiffEntry& entry : entries)
            if (entry.tag == tag)
                return entry.value;
        return 0;
    }

    // The capture details and position, with the pixel size they record
    // made the written picture's.
    void AppendExifDirectories(std::vector<TiffEntry>& entries)
    {
        const std::vector<uint8_t> exif = ExifForPicture(metadata_.exif, int32_t(ValueOf(entries, tagImageWidth)),
                                                         int32_t(ValueOf(entries, tagImageLength)));
        const TExifDirectories linked = ExifDirectoriesOf(exif);
        if (linked.Empty())
            return;
        if (Offset() % 2 != 0)
            stream_.WriteBuffer(TiffBytes{0});
        const TExifDirectoryBytes laid = LayOutExifDirectories(linked, Offset());
        stream_.WriteBuffer(laid.bytes);
        if (laid.exifAt != 0)
            entries.push_back({tagExifIfd, ttLong, 1, laid.exifAt});
        if (laid.gpsAt != 0)
            entries.push_back({tagGpsIfd, ttLong, 1, laid.gpsAt});
    }

    void AppendMetadata(std::vector<TiffEntry>& entries, bool bilevel)
    {
        for (const uint16_t tag : kExifTextTags) {
            const std::string text = ExifText(metadata_.exif, tag);
            if (!text.empty())
                AppendValue(entries, tag, ttAscii, {reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1});
        }
        // A picture turned upright carries no Orientation, which means 1.
        const int orientation = ExifOrientation(metadata_.exif);
        if (orientation > 1)
            entries.push_back({tagOrientation, ttShort, 1, uint32_t(orientation)});
        AppendExifDirectories(entries);
        AppendValue(entries, tagXmp, ttByte, metadata_.xmp);
        AppendValue(entries, tagIptc, ttUndefined, IptcOfPhotoshop(metadata_.photoshop));
        AppendValue(entries, tagPhotoshop, ttByte, metadata_.photoshop);
        if (!bilevel && IsRgbIccProfile(metadata_.iccProfile))
            AppendValue(entries, tagIccProfile, ttUndefined, metadata_.iccProfile);
    }

    TStream& stream_;
    int64_t base_;
    const TPictureMetadata& metadata_;
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
    at.xResolution = out.WriteXResolution();
    at.yResolution = out.WriteYResolution();
    at.software = out.WriteSoftware();

    auto entries = LeadingEntries(w, h, {tagBitsPerSample, ttShort, 1, 1}, 1, at.strip, 1,
                                  uint32_t(rowBytes * h));
    AppendResolutionEntries(entries, at);
    AppendTrailingEntries(entries, at);
    out.FinishWithDirectory(entries, true);
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
    at.xResolution = out.WriteXResolution();
    at.yResolution = out.WriteYResolution();
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
    at.xResolution = out.WriteXResolution();
    at.yResolution = out.WriteYResolution();
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

void WriteTiffToStream(TStream& stream, const TBitmap& picture, const TPictureMetadata& metadata)
{
    const TRaster* raster = picture.Raster();
    if (raster == nullptr || raster->width == 0 || raster->height == 0)
        return;
    if (raster->width > kMaxTiffSide || raster->height > kMaxTiffSide)
        throw EInvalidGraphic(kTooLargeText);

    TiffOutput out(stream, metadata);
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

void SaveTiffFile(const TBitmap& picture, const std::string& fileName, int32_t, const TPictureMetadata& metadata)
{
    const TRaster* raster = picture.Raster();
    if (raster != nullptr && (raster->width > kMaxTiffSide || raster->height > kMaxTiffSide))
        throw EInvalidGraphic(kTooLargeText);
    WriteFileAtomically(fileName, [&](TStream& file) { WriteTiffToStream(file, picture, metadata); });
}

}  // namespace corvalin

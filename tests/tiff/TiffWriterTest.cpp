// The TIFF writer: exact layouts, and files that libtiff's tools and
// ImageMagick accept with the pixels the picture had.
#include <filesystem>

#include <gtest/gtest.h>

#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "common/Stream.h"
#include "formats/tiff/TiffWriter.h"

using namespace corvalin;
using namespace testsupport;
using namespace picturetest;

namespace {

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | uint32_t(b[at + 1]) << 8; }
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

struct Entry {
    uint32_t tag, type, count, value;
};

std::vector<Entry> DirectoryOf(const std::vector<uint8_t>& file)
{
    const size_t at = Le32(file, 4);
    std::vector<Entry> entries;
    for (uint32_t i = 0; i < Le16(file, at); ++i) {
        const size_t e = at + 2 + 12 * i;
        entries.push_back({Le16(file, e), Le16(file, e + 2), Le32(file, e + 4), Le32(file, e + 8)});
    }
    return entries;
}

Entry Find(const std::vector<Entry>& entries, uint32_t tag)
{
    for (const Entry& e : entries)
        if (e.tag == tag)
            return e;
    ADD_FAILURE() << "no tag " << tag;
    return {};
}

// tiffinfo and tiffdump read the file without a complaint.
void ExpectLibtiffAccepts(const std::string& path)
{
    const CommandResult info = RunCommand("/usr/bin/tiffinfo " + Quote(path) + " 2>&1");
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_EQ(info.output.find("Warning"), std::string::npos) << info.output;
    EXPECT_EQ(info.output.find("Error"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Quennawerk"), std::string::npos) << info.output;
    const CommandResult dump = RunCommand("/usr/bin/tiffdump " + Quote(path) + " 2>&1");
    EXPECT_EQ(dump.status, 0) << dump.output;
}

// ImageMagick decodes the file to the picture's colours in the first
// `columns` columns, each component within `tolerance`.
void ExpectImageMagickSees(TBitmap& picture, const std::string& path, int columns, int tolerance)
{
    const RgbPicture decoded = DecodeWithImageMagick(path);
    ASSERT_EQ(decoded.width, columns);
    ASSERT_EQ(decoded.height, picture.Height());
    for (int y = 0; y < decoded.height; ++y)
        for (int x = 0; x < columns; ++x) {
            const TColor c = picture.Canvas().ReadPixel(x, y);
            const uint32_t got = decoded.At(x, y);
            const int diffs[3] = {int(got >> 16) - RedOf(c), int((got >> 8) & 0xFF) - GreenOf(c),
                                  int(got & 0xFF) - BlueOf(c)};
            for (int d : diffs)
                ASSERT_LE(std::abs(d), tolerance) << path << " at " << x << "," << y;
        }
}

std::vector<uint8_t> Save(const TBitmap& picture, const TempDir& dir, const std::string& name = "t.tif")
{
    SaveTiffFile(picture, dir.File(name));
    return ReadBytes(dir.File(name));
}

}  // namespace

TEST(TiffWriter, OneRedPixelIsTheExact230ByteFile)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 1, 1, [](int, int) { return RGB(255, 0, 0); });
    const std::vector<uint8_t> file = Save(picture, dir);
    ASSERT_EQ(file.size(), 230u);
    const std::vector<uint8_t> head = {'I', 'I', 42, 0, 44, 0, 0, 0,
                                       0x6D, 3, 0, 0, 10, 0, 0, 0,   // 877/10
                                       0x6D, 3, 0, 0, 10, 0, 0, 0,
                                       8, 0, 8, 0, 8, 0,
                                       'Q', 'u', 'e', 'n', 'n', 'a', 'w', 'e', 'r', 'k', 0,
                                       255, 0, 0,  // the strip
                                       15, 0};
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + long(head.size())), head);
    const std::vector<std::array<uint32_t, 4>> expected = {
        {254, 4, 1, 0}, {256, 3, 1, 1}, {257, 3, 1, 1}, {258, 3, 3, 24}, {259, 3, 1, 1},
        {262, 3, 1, 2}, {273, 4, 1, 41}, {277, 3, 1, 3}, {278, 4, 1, 1}, {279, 4, 1, 3},
        {282, 5, 1, 8}, {283, 5, 1, 16}, {284, 3, 1, 1}, {296, 3, 1, 2}, {305, 2, 11, 30}};
    const auto entries = DirectoryOf(file);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ((std::array<uint32_t, 4>{entries[i].tag, entries[i].type, entries[i].count, entries[i].value}),
                  expected[i]) << "entry " << i;
    EXPECT_EQ(Le32(file, 226), 0u) << "no next directory";
    ExpectLibtiffAccepts(dir.File("t.tif"));
}

TEST(TiffWriter, RgbFilesOfEveryTrueColourLayoutDecodeToThePicturesPixels)
{
    TempDir dir;
    for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf32bit, TPixelFormat::pfDevice,
                                TPixelFormat::pf16bit, TPixelFormat::pf15bit}) {
        TBitmapEx picture;
        Fill(picture, 37, 23, Noise);
        picture.ChangePixelFormat(format);
        const std::vector<uint8_t> file = Save(picture, dir);
        EXPECT_EQ(file.size(), 41u + 37 * 23 * 3 + 186) << int(format);
        EXPECT_EQ(Le32(file, 4), 41u + 37 * 23 * 3);
        ExpectLibtiffAccepts(dir.File("t.tif"));
        ExpectImageMagickSees(picture, dir.File("t.tif"), 37, 0);
    }
}

TEST(TiffWriter, PaletteFilesCarryTheColourMapTimes256)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 10, 6, Noise);
    picture.ChangePixelFormat(TPixelFormat::pf8bit);
    const std::vector<uint8_t> file = Save(picture, dir);
    const auto entries = DirectoryOf(file);
    EXPECT_EQ(entries.size(), 15u);
    EXPECT_EQ(Find(entries, 320).value, 8u);
    EXPECT_EQ(Find(entries, 320).count, 768u);
    EXPECT_EQ(Find(entries, 273).value, 1571u);
    EXPECT_EQ(Find(entries, 262).value, 3u);
    const auto& palette = picture.Palette();
    for (size_t i = 0; i < 256; ++i) {
        const TColor c = i < palette.size() ? palette[i] : 0;
        ASSERT_EQ(Le16(file, 8 + 2 * i), uint32_t(RedOf(c)) * 256);
        ASSERT_EQ(Le16(file, 8 + 512 + 2 * i), uint32_t(GreenOf(c)) * 256);
        ASSERT_EQ(Le16(file, 8 + 1024 + 2 * i), uint32_t(BlueOf(c)) * 256);
    }
    ExpectLibtiffAccepts(dir.File("t.tif"));
    // 255 * 256 = 65280 reads back as 254 in eight bits.
    ExpectImageMagickSees(picture, dir.File("t.tif"), 10, 1);
}

TEST(TiffWriter, FourBitWidthIsRoundedDownToAMultipleOfFour)
{
    TempDir dir;
    for (int width : {7, 8, 3}) {
        TBitmapEx picture;
        Fill(picture, width, 5, Noise);
        picture.ChangePixelFormat(TPixelFormat::pf4bit);
        const std::vector<uint8_t> file = Save(picture, dir);
        const auto entries = DirectoryOf(file);
        // Narrower than 4 pixels nothing would be left: such a picture goes out with 8 bits.
        const bool widened = width < 4;
        const uint32_t written = widened ? uint32_t(width) : uint32_t(width) / 4 * 4;
        EXPECT_EQ(Find(entries, 256).value, written);
        EXPECT_EQ(Find(entries, 258).value, widened ? 8u : 4u);
        EXPECT_EQ(Find(entries, 279).value, (widened ? written : written / 2) * 5);
        EXPECT_EQ(Find(entries, 273).value, 35u + (widened ? 1536 : 96));
        ExpectLibtiffAccepts(dir.File("t.tif"));
        ExpectImageMagickSees(picture, dir.File("t.tif"), int(written), 1);
    }
}

TEST(TiffWriter, BilevelFilesWriteTheBitsAsStored)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 9, 4, [](int x, int y) { return (x + y) % 3 ? clWhite : clBlack; });
    picture.ChangePixelFormat(TPixelFormat::pf1bit);
    const std::vector<uint8_t> file = Save(picture, dir);
    const auto entries = DirectoryOf(file);
    EXPECT_EQ(Le16(file, Le32(file, 4)), 14u);
    EXPECT_EQ(entries.size(), 14u);
    EXPECT_EQ(Find(entries, 279).value, 2u * 4);
    EXPECT_EQ(Find(entries, 262).value, 1u);
    EXPECT_EQ(Le32(file, 4), 8u + 8 + 27);
    ExpectLibtiffAccepts(dir.File("t.tif"));
    const RgbPicture decoded = DecodeWithImageMagick(dir.File("t.tif"));
    ASSERT_EQ(decoded.width, 9);
    const TRaster& raster = *picture.Raster();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool bit = (raster.Row(y)[x / 8] >> (7 - x % 8)) & 1;
            EXPECT_EQ(decoded.At(x, y), bit ? 0xFFFFFFu : 0u) << x << "," << y;
        }
}

TEST(TiffWriter, EmptyAndOversizedPicturesLeaveTheFile)
{
    TempDir dir;
    TBitmapEx empty;
    const std::string path = dir.File("t.tif");
    WriteBytes(path, {9, 9});
    EXPECT_THROW(empty.SaveToFileEx(path, 75), EInvalidGraphic);
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{9, 9}));

    WriteBytes(path, {9, 9});
    TBitmapEx wide;
    wide.NewRaster(65536, 1, TPixelFormat::pf1bit);
    EXPECT_THROW(wide.SaveToFileEx(path, 75), EInvalidGraphic);
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{9, 9}));
    TMemoryStream stream;
    EXPECT_THROW(WriteTiffToStream(stream, wide), EInvalidGraphic);
    EXPECT_EQ(stream.Size(), 0);
}

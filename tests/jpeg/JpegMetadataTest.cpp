// Exif blocks made true for a new picture, colour profiles joined from their
// chunks, and side data that is damaged or too much.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "common/ByteCursor.h"
#include "common/Limits.h"
#include "formats/BitmapEx.h"
#include "formats/jpeg/JpegCodec.h"
#include "formats/jpeg/JpegMetadata.h"
#include "formats/metadata/Exif.h"

using namespace corvalin;
using namespace testsupport;

namespace {

void Entry(std::vector<uint8_t>& out, uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
{
    Put16(out, tag, TByteOrder::LittleEndian);
    Put16(out, type, TByteOrder::LittleEndian);
    Put32(out, count, TByteOrder::LittleEndian);
    Put32(out, value, TByteOrder::LittleEndian);
}

// "Exif\0\0", then a little-endian TIFF block: IFD0 at 8 (Make at 50,
// Orientation 6, Exif pointer to 56), the Exif IFD at 56 (PixelXDimension
// LONG 640, PixelYDimension SHORT 480), IFD1 at 86 with an 8-byte thumbnail at 116.
std::vector<uint8_t> CameraExif()
{
    std::vector<uint8_t> t = {'I', 'I', 42, 0, 8, 0, 0, 0, 3, 0};
    Entry(t, 0x010F, 2, 6, 50);
    Entry(t, 0x0112, 3, 1, 6);
    Entry(t, 0x8769, 4, 1, 56);
    Put32(t, 86, TByteOrder::LittleEndian);
    t.insert(t.end(), {'C', 'a', 'n', 'o', 'n', 0, 2, 0});
    Entry(t, 0xA002, 4, 1, 640);
    Entry(t, 0xA003, 3, 1, 480);
    Put32(t, 0, TByteOrder::LittleEndian);
    t.insert(t.end(), {2, 0});
    Entry(t, 0x0201, 4, 1, 116);
    Entry(t, 0x0202, 4, 1, 8);
    Put32(t, 0, TByteOrder::LittleEndian);
    t.insert(t.end(), {0xFF, 0xD8, 1, 2, 3, 4, 0xFF, 0xD9});
    t.insert(t.begin(), std::begin(kExifIdentifier), std::end(kExifIdentifier));
    return t;
}

uint32_t At32(const std::vector<uint8_t>& exif, size_t tiffOffset)
{
    return Get32(exif.data() + 6 + tiffOffset, TByteOrder::LittleEndian);
}

void Set32(std::vector<uint8_t>& exif, size_t tiffOffset, uint32_t value)
{
    std::vector<uint8_t> bytes;
    Put32(bytes, value, TByteOrder::LittleEndian);
    std::copy(bytes.begin(), bytes.end(), exif.begin() + long(6 + tiffOffset));
}

std::vector<uint8_t> IccChunk(uint8_t number, uint8_t count, uint8_t fill)
{
    std::vector<uint8_t> chunk = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, number, count};
    chunk.insert(chunk.end(), 100, fill);
    return chunk;
}

// A small JPEG of ours with the given segments after its JFIF header.
std::vector<uint8_t> JpegWith(const std::vector<TJpegMarker>& markers)
{
    TBitmap picture;
    picture.NewRaster(16, 8, TPixelFormat::pf24bit);
    return EncodeJpeg(*picture.Raster(), 80, markers);
}

}  // namespace

TEST(ExifForPicture, RecordsTheNewSizeAndDropsTheThumbnail)
{
    const std::vector<uint8_t> source = CameraExif();
    const std::vector<uint8_t> result = ExifForPicture(source, 300, 400);
    ASSERT_EQ(result.size(), 6u + 86u);  // IFD1 and the thumbnail were the tail
    EXPECT_EQ(At32(result, 46), 0u);     // IFD0 links to no IFD1
    EXPECT_EQ(At32(result, 66), 300u);
    EXPECT_EQ(At32(result, 78) & 0xFFFF, 400u);
    // Everything else, the orientation among it, byte for byte.
    std::vector<uint8_t> rest = result;
    Set32(rest, 46, 86);
    Set32(rest, 66, 640);
    Set32(rest, 78, 480);
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), source.begin()));
}

TEST(ExifForPicture, LeavesADamagedBlockAsItIs)
{
    const struct {
        const char* what;
        size_t at;
        uint32_t value;
    } damages[] = {
        {"Exif pointer back to IFD0", 42, 8},
        {"Exif pointer outside the block", 42, 5000},
        {"Make longer than the block", 14, 0x40000000},
        {"IFD0 offset outside", 4, 0xFFFFFFF0},
        {"entry count beyond the data", 8, 0xFFFF},
        {"unknown field type", 10 + 2, 0x0006FF00},  // Make of type 0xFF00
    };
    for (const auto& damage : damages) {
        std::vector<uint8_t> exif = CameraExif();
        Set32(exif, damage.at, damage.value);
        EXPECT_EQ(ExifForPicture(exif, 1, 1), exif) << damage.what;
    }
    const std::vector<uint8_t> whole = CameraExif();
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + 30);
    EXPECT_EQ(ExifForPicture(cut, 1, 1), cut);
}

TEST(ExifDirectories, CarryIntoANewBlockAndBackUnchanged)
{
    TExifDirectories read = ExifDirectoriesOf(CameraExif());
    ASSERT_EQ(read.exif.size(), 2u);
    EXPECT_EQ(read.exif[1].value, (std::vector<uint8_t>{0xE0, 0x01}));  // PixelYDimension 480
    read.interop.push_back({0x0001, 2, 4, {'R', '9', '8', 0}});
    read.gps.push_back({0x0002, 5, 3, std::vector<uint8_t>(24, 7)});
    const std::vector<uint8_t> block = ExifOfTexts({{kExifMake, "Canon"}}, 1, read);
    const TExifDirectories again = ExifDirectoriesOf(block);
    const auto same = [](const std::vector<TExifField>& a, const std::vector<TExifField>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const TExifField& x, const TExifField& y) {
            return std::tie(x.tag, x.type, x.count, x.value) == std::tie(y.tag, y.type, y.count, y.value);
        });
    };
    EXPECT_TRUE(same(again.exif, read.exif));
    EXPECT_TRUE(same(again.interop, read.interop));
    EXPECT_TRUE(same(again.gps, read.gps));
    EXPECT_EQ(ExifText(block, kExifMake), "Canon");
    EXPECT_EQ(ExifOrientation(block), 1);
}

TEST(ExifDirectories, AreLeftOutWhereTheyCannotBeWalkedSafely)
{
    const struct {
        const char* what;
        size_t at;
        uint32_t value;
        size_t exifFields;
    } damages[] = {
        {"Exif pointer back to IFD0", 42, 8, 0},
        {"Exif pointer outside the block", 42, 5000, 0},
        {"entry count beyond the data", 56, 0xFFFF, 0},
        {"value beyond the data", 58 + 4, 0x1000, 0},  // PixelXDimension's count
        {"interoperability link back to the Exif directory", 70, 0x0004A005, 1},
    };
    for (const auto& damage : damages) {
        std::vector<uint8_t> exif = CameraExif();
        Set32(exif, damage.at, damage.value);
        if (damage.value == 0x0004A005)
            Set32(exif, 78, 56);
        const TExifDirectories read = ExifDirectoriesOf(exif);
        EXPECT_EQ(read.exif.size(), damage.exifFields) << damage.what;
        EXPECT_TRUE(read.interop.empty()) << damage.what;
    }
    // Many entries naming one value copy it many times: beyond the side-data
    // limit the directory is left out.
    for (const uint32_t bytes : {200u, 300u}) {
        std::vector<uint8_t> t = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0};
        Entry(t, 0x8769, 4, 1, 26);
        Put32(t, 0, TByteOrder::LittleEndian);
        Put16(t, 0xFFFF, TByteOrder::LittleEndian);
        const uint32_t valueAt = 26 + 2 + 0xFFFF * 12 + 4;
        for (int i = 0; i < 0xFFFF; ++i)
            Entry(t, 0x9000, 7, bytes, valueAt);
        Put32(t, 0, TByteOrder::LittleEndian);
        t.resize(t.size() + bytes);
        EXPECT_EQ(ExifDirectoriesOf(t).exif.size(), bytes == 200 ? 0xFFFFu : 0u) << bytes;
    }
}

TEST(JpegMetadata, ProfileChunksJoinInTheirNumberedOrderOrNotAtAll)
{
    const auto profileOf = [](std::vector<TJpegMarker> markers) {
        return ReadJpegMetadata(JpegWith(markers)).iccProfile;
    };
    const auto joined = profileOf({{0xE2, IccChunk(2, 2, 'b')}, {0xE2, IccChunk(1, 2, 'a')}});
    ASSERT_EQ(joined.size(), 200u);
    EXPECT_EQ(joined.front(), 'a');
    EXPECT_EQ(joined.back(), 'b');
    EXPECT_TRUE(profileOf({{0xE2, IccChunk(1, 2, 'a')}, {0xE2, IccChunk(1, 2, 'b')}}).empty());
    EXPECT_TRUE(profileOf({{0xE2, IccChunk(1, 2, 'a')}}).empty());
    EXPECT_TRUE(profileOf({{0xE2, IccChunk(1, 1, 'a')}, {0xE2, IccChunk(2, 2, 'b')}}).empty());
    EXPECT_TRUE(profileOf({{0xE2, IccChunk(0, 1, 'a')}}).empty());
}

TEST(JpegMetadata, SegmentsBeyondTheSideDataBudgetAreDropped)
{
    // 300 XMP extension segments of 64 KB: more than the budget of one file.
    std::vector<TJpegMarker> markers(300, {0xE1, std::vector<uint8_t>(65000, ' ')});
    const char xmp[] = "http://ns.adobe.com/xmp/extension/";
    for (TJpegMarker& marker : markers)
        std::copy(std::begin(xmp), std::end(xmp), marker.bytes.begin());
    const std::vector<uint8_t> file = JpegWith(markers);
    const TPictureMetadata metadata = ReadJpegMetadata(file);
    EXPECT_EQ(metadata.xmpExtension.size(), size_t(kMaxSideDataBytes / 65000));
    TempDir dir;
    WriteBytes(dir.File("many.jpg"), file);
    TBitmapEx picture;
    picture.LoadFromFileEx(dir.File("many.jpg"));
    EXPECT_EQ(picture.Width(), 16);
}

TEST(JpegMetadata, ProfilesOfOtherColourSpacesAreNotWritten)
{
    TempDir dir;
    const std::string rgb = dir.File("rgb.icc");
    Pillow("from PIL import ImageCms\nopen(" + Quote(rgb) + ", 'wb').write(ImageCms.ImageCmsProfile("
           "ImageCms.createProfile('sRGB')).tobytes())");
    TBitmapEx picture;
    picture.NewRaster(16, 8, TPixelFormat::pf24bit);
    for (const char* space : {"GRAY", "CMYK"}) {
        picture.Metadata.iccProfile = ReadBytes(rgb);
        std::copy(space, space + 4, picture.Metadata.iccProfile.begin() + 16);
        for (const char* name : {"p.jpg", "p.png"}) {
            picture.SaveToFileEx(dir.File(name), 80);
            EXPECT_EQ(RunCommand("/usr/bin/python3 -c 'import sys\nfrom PIL import Image\n"
                                 "print(\"icc_profile\" in Image.open(sys.argv[1]).info)' " +
                                 Quote(dir.File(name))).output, "False\n") << space << " " << name;
        }
    }
}

TEST(ExifOrientation, IsReadOnlyFromASoundTagOfOneToEight)
{
    // CameraExif's Orientation is the SHORT at TIFF offset 22 + 8 = 30.
    const struct {
        const char* what;
        size_t at;
        uint32_t value;
        int expected;
        int afterUpright;  // a SHORT tag of any value becomes 1
    } cases[] = {
        {"as made", 0, 0, 6, 1},
        {"value 9", 30, 9, 0, 1},
        {"value 0", 30, 0, 0, 1},
        {"type LONG", 24, 0x00010004, 0, 0},
        {"count 2", 26, 2, 0, 0},
        {"entry count beyond the data", 8, 0xFFFF, 0, 0},
        {"IFD0 offset outside", 4, 0xFFFFFFF0, 0, 0},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> exif = CameraExif();
        if (c.at != 0)
            Set32(exif, c.at, c.value);
        EXPECT_EQ(ExifOrientation(exif), c.expected) << c.what;
        const std::vector<uint8_t> tiff(exif.begin() + 6, exif.end());
        EXPECT_EQ(ExifOrientation(tiff), c.expected) << c.what << " without identifier";
        std::vector<uint8_t> upright = exif;
        SetExifOrientationUpright(upright);
        EXPECT_EQ(ExifOrientation(upright), c.afterUpright) << c.what;
    }
    const std::vector<uint8_t> whole = CameraExif();
    EXPECT_EQ(ExifOrientation(std::vector<uint8_t>(whole.begin(), whole.begin() + 30)), 0);
}

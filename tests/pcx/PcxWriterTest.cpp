// The PCX writer: every layout read back, pixel for pixel, by Corvalin's own
// reader, Pillow and ImageMagick.
#include <gtest/gtest.h>

#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "formats/BitmapEx.h"
#include "formats/pcx/PcxWriter.h"

using namespace corvalin;
using namespace testsupport;
using namespace picturetest;

namespace {

struct PcxCase {
    const char* layout;
    TPixelFormat format;
    uint8_t bitsPerPlane;
    uint8_t planes;
    int width;  // odd widths pad every plane row
    // ImageMagick takes a set bit of a one-bit file for black, where Pillow
    // and the format's own readers see white; Pillow reads four planes only
    // when their rows need no padding.
    bool magick, pillow;
};

const PcxCase kCases[] = {
    {"1 bit", TPixelFormat::pf1bit, 1, 1, 37, false, true},
    {"4 bits", TPixelFormat::pf4bit, 1, 4, 37, true, false},
    {"4 bits unpadded", TPixelFormat::pf4bit, 1, 4, 48, true, true},
    {"8 bits", TPixelFormat::pf8bit, 8, 1, 37, true, true},
    {"24 bits", TPixelFormat::pf24bit, 8, 3, 37, true, true},
    {"16 bits as 24", TPixelFormat::pf16bit, 8, 3, 37, true, true},
};

class PcxWriting : public ::testing::TestWithParam<PcxCase> {};

}  // namespace

TEST_P(PcxWriting, EveryReaderSeesThePicturesPixels)
{
    const PcxCase& c = GetParam();
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, c.width, 23, Noise);
    picture.ChangePixelFormat(c.format);
    const std::string path = dir.File("neu.pcx");
    SavePcxFile(picture, path, 0, {});

    const std::vector<uint8_t> file = ReadBytes(path);
    ASSERT_GT(file.size(), 128u);
    EXPECT_EQ((std::vector<uint8_t>{file[0], file[1], file[2], file[3], file[65]}),
              (std::vector<uint8_t>{10, 5, 1, c.bitsPerPlane, c.planes})) << c.layout;
    EXPECT_EQ(file[66] % 2, 0) << "plane rows are an even number of bytes";
    TBitmapEx back;
    back.LoadFromFileEx(path);
    EXPECT_TRUE(SamePixels(back, picture)) << c.layout;
    EXPECT_FALSE(back.Metadata.source.damaged) << c.layout;
    if (c.pillow) {
        EXPECT_EQ(DifferingPixels(picture, DecodeWithPillow(path)), 0) << c.layout;
    }
    if (c.magick) {
        EXPECT_EQ(DifferingPixels(picture, DecodeWithImageMagick(path)), 0) << c.layout;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PcxWriting, ::testing::ValuesIn(kCases));

TEST(PcxWriter, OpacityIsShownOverWhiteAndTooWideFails)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 3, 1, [](int, int) { return RGB(200, 0, 100); });
    picture.ChangePixelFormat(TPixelFormat::pf32bit);
    TRaster& raster = picture.MutableRaster();
    raster.hasAlpha = true;
    for (int x = 0; x < 3; ++x)
        raster.Row(0)[4 * x + 3] = uint8_t(x * 255 / 2);  // 0, 127, 255
    SavePcxFile(picture, dir.File("a.pcx"), 0, {});
    const RgbPicture seen = DecodeWithImageMagick(dir.File("a.pcx"));
    EXPECT_EQ(seen.At(0, 0), 0xFFFFFFu);
    EXPECT_EQ(seen.At(1, 0), 0xE480B2u);  // 200, 0, 100 half over white
    EXPECT_EQ(seen.At(2, 0), 0xC80064u);

    Fill(picture, 65535, 1, Noise);
    EXPECT_THROW(SavePcxFile(picture, dir.File("b.pcx"), 0, {}), EInvalidGraphic);
}

// The Photoshop writer: flat documents of every mode read back, pixel for
// pixel, by Corvalin's own reader, Pillow and ImageMagick.
#include <gtest/gtest.h>

#include <filesystem>

#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "formats/BitmapEx.h"
#include "formats/psd/PsdWriter.h"

using namespace corvalin;
using namespace testsupport;
using namespace picturetest;

namespace {

uint32_t Be16(const std::vector<uint8_t>& b, size_t at) { return uint32_t(b[at]) << 8 | b[at + 1]; }

struct PsdCase {
    const char* layout;
    TPixelFormat format;
    bool grey;   // an 8-bit picture of 256 grey levels in order
    bool alpha;  // a 32-bit picture with opacity
    uint32_t mode, channels, depth;
    // Pillow takes a set bit of a bitmap document for white, where
    // ImageMagick and Photoshop see black; this ImageMagick refuses every
    // indexed document, its own among them; its decode drops opacity.
    bool pillow, magick;
};

const PsdCase kCases[] = {
    {"bitmap", TPixelFormat::pf1bit, false, false, 0, 1, 1, false, true},
    {"greyscale", TPixelFormat::pf8bit, true, false, 1, 1, 8, true, true},
    {"indexed 8 bits", TPixelFormat::pf8bit, false, false, 2, 1, 8, true, false},
    {"indexed 4 bits", TPixelFormat::pf4bit, false, false, 2, 1, 8, true, false},
    {"RGB", TPixelFormat::pf24bit, false, false, 3, 3, 8, true, true},
    {"RGB with opacity", TPixelFormat::pf32bit, false, true, 3, 4, 8, true, false},
};

class PsdWriting : public ::testing::TestWithParam<PsdCase> {};

}  // namespace

TEST_P(PsdWriting, EveryReaderSeesThePicturesPixels)
{
    const PsdCase& c = GetParam();
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 301, 19, Noise);  // rows longer than one PackBits literal
    picture.ChangePixelFormat(c.format);
    if (c.grey) {
        std::vector<TColor> ramp;
        for (int i = 0; i < 256; ++i)
            ramp.push_back(RGB(uint8_t(i), uint8_t(i), uint8_t(i)));
        picture.SetPalette(ramp);
    }
    if (c.alpha) {
        TRaster& raster = picture.MutableRaster();
        raster.hasAlpha = true;
        for (int y = 0; y < raster.height; ++y)
            for (int x = 0; x < raster.width; ++x)
                raster.Row(y)[4 * x + 3] = uint8_t(x < 100 ? 255 : x);
    }
    const std::string path = dir.File("neu.psd");
    SavePsdFile(picture, path, 0, {});

    const std::vector<uint8_t> file = ReadBytes(path);
    ASSERT_GT(file.size(), 34u);
    EXPECT_EQ((std::vector<uint32_t>{Be16(file, 12), Be16(file, 22), Be16(file, 24)}),
              (std::vector<uint32_t>{c.channels, c.depth, c.mode})) << c.layout;
    TBitmapEx back;
    back.LoadFromFileEx(path);
    EXPECT_TRUE(SamePixels(back, picture)) << c.layout;
    EXPECT_EQ(back.Metadata.source.layers, 0u);
    EXPECT_FALSE(back.Metadata.source.damaged) << c.layout;
    if (c.pillow) {
        EXPECT_EQ(DifferingPixels(picture, DecodeWithPillow(path)), 0) << c.layout;
    }
    if (c.magick) {
        EXPECT_EQ(DifferingPixels(picture, DecodeWithImageMagick(path)), 0) << c.layout;
    }
    if (c.alpha) {
        // Pillow takes the fourth channel as the opacity.
        const CommandResult opacity = RunCommand(
            "/usr/bin/python3 -c " +
            Quote("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
                  "print(im.mode, *list(im.getchannel('A').getdata())[150:153])") + " " + Quote(path));
        EXPECT_EQ(opacity.output, "RGBA 150 151 152\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, PsdWriting, ::testing::ValuesIn(kCases));

TEST(PsdWriter, LargerThanPhotoshopAllowsFails)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 30001, 1, Noise);
    EXPECT_THROW(SavePsdFile(picture, dir.File("a.psd"), 0, {}), EInvalidGraphic);
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.psd")));
}

#include <gtest/gtest.h>

#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "picture/RowCodec.h"

using namespace corvalin;
using namespace picturetest;
using namespace testsupport;

namespace {

// Alpha exactly, colour exactly where alpha is above 0.
void ExpectSameRgba(const TBitmap& picture, const RgbaPicture& reference, const std::string& what)
{
    const TRaster& raster = *picture.Raster();
    ASSERT_EQ(raster.width, reference.width) << what;
    ASSERT_EQ(raster.height, reference.height) << what;
    std::vector<uint8_t> bgra(size_t(raster.width) * 4);
    int mismatches = 0;
    for (int y = 0; y < raster.height; ++y) {
        DecodeRowToBgra(raster, y, bgra.data());
        for (int x = 0; x < raster.width; ++x) {
            const uint8_t* p = &bgra[4 * size_t(x)];
            const uint8_t* r = reference.At(x, y);
            const bool same = p[3] == r[3] && (r[3] == 0 || (p[2] == r[0] && p[1] == r[1] && p[0] == r[2]));
            if (!same && mismatches++ == 0)
                ADD_FAILURE() << what << ": first difference at " << x << "," << y << ": " << int(p[2]) << " "
                              << int(p[1]) << " " << int(p[0]) << " " << int(p[3]) << " vs " << int(r[0]) << " "
                              << int(r[1]) << " " << int(r[2]) << " " << int(r[3]);
        }
    }
    EXPECT_EQ(mismatches, 0) << what;
}

// A 40 x 24 picture with alpha: noise colours (or greys), alpha running
// 0..255 across and a fully transparent stripe whose hidden colour is black.
void MakeAlphaPicture(TBitmap& picture, bool grey = false)
{
    TRaster& raster = picture.NewRaster(40, 24, TPixelFormat::pf32bit);
    raster.hasAlpha = true;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) {
            uint8_t* p = raster.Row(y) + 4 * x;
            const TColor c = y < 3 ? clBlack : grey ? RGB(x * 6, x * 6, x * 6) : Noise(x, y);
            p[0] = BlueOf(c);
            p[1] = GreenOf(c);
            p[2] = RedOf(c);
            p[3] = y < 3 ? 0 : uint8_t(x * 255 / 39);
        }
}

std::string ToolOutput(const std::string& command)
{
    return RunCommand(command + " 2>&1").output;
}

RgbPicture PlayedBack(const std::string& path)
{
    TBitmapEx picture;
    picture.LoadFromFileEx(path);
    RgbPicture rgb{picture.Width(), picture.Height(), {}};
    for (int y = 0; y < rgb.height; ++y)
        for (int x = 0; x < rgb.width; ++x) {
            const TColor c = picture.Canvas().ReadPixel(x, y);
            rgb.rgb.insert(rgb.rgb.end(), {RedOf(c), GreenOf(c), BlueOf(c)});
        }
    return rgb;
}

const std::string kPlasma = "-size 41x29 -seed 7 plasma:fractal";

}  // namespace

// Each reader hands over what the file says, as Pillow and ImageMagick read it.
struct ReadCase {
    const char* name;
    const char* extension;
    const char* tool;  // "im" or "pillow"
    const char* make;  // ImageMagick arguments, or a Pillow script on SRC (a plasma) and OUT
    bool imageMagickToo;
};

class AlphaRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(AlphaRead, MatchesPillowAndImageMagick)
{
    const ReadCase& c = GetParam();
    TempDir dir;
    const std::string source = dir.File("source.png"), path = dir.File(std::string("t.") + c.extension);
    ImageMagick(kPlasma + " " + Quote(source));
    if (std::string(c.tool) == "im")
        ImageMagick(Quote(source) + " " + c.make + " " + Quote(path));
    else
        Pillow("SRC = Image.open('" + source + "')\nOUT = '" + path + "'\n" + c.make);
    TBitmapEx picture;
    picture.LoadFromFileEx(path);
    ASSERT_TRUE(picture.Raster()->hasAlpha) << c.name;
    ExpectSameRgba(picture, DecodeRgbaWithPillow(path), std::string(c.name) + " Pillow");
    if (c.imageMagickToo)
        ExpectSameRgba(picture, DecodeRgbaWithImageMagick(path), std::string(c.name) + " ImageMagick");
}

INSTANTIATE_TEST_SUITE_P(
    Readers, AlphaRead,
    ::testing::Values(
        ReadCase{"pngRgba8", "png", "pillow", "SRC = SRC.convert('RGB')\nSRC.putalpha(SRC.convert('L'))\nSRC.save(OUT)",
                 true},
        ReadCase{"pngRgba16", "png", "im", "-depth 16 -alpha set -channel A -fx i/w +channel -define png:color-type=6",
                 false},
        ReadCase{
            "pngGreyAlpha8", "png", "pillow",
            "a = SRC.convert('L')\nSRC = SRC.convert('LA')\nSRC.putalpha(a.point(lambda v: 255 - v))\nSRC.save(OUT)",
            true},
        ReadCase{"pngGreyAlpha16", "png", "im",
                 "-colorspace Gray -depth 16 -alpha set -channel A -fx j/h +channel -define png:color-type=4", false},
        ReadCase{"pngPaletteAlpha", "png", "pillow",
                 "SRC.quantize(16).save(OUT, transparency=bytes([255, 0, 128, 255, 40]))", true},
        ReadCase{"pngGreyKey", "png", "pillow",
                 "SRC = SRC.convert('L')\nSRC.paste(77, (0, 0, 9, 5))\nSRC.save(OUT, transparency=77)", true},
        ReadCase{"pngRgbKey", "png", "pillow",
                 "SRC = SRC.convert('RGB')\nSRC.paste((10, 20, 30), (3, 3, 20, 9))\nSRC.save(OUT, transparency=(10, "
                 "20, 30))",
                 true},
        ReadCase{"gif", "gif", "im", "-colors 64 -fill white -draw 'rectangle 5,5 20,15' -transparent white", true},
        ReadCase{"tiffUnassociated", "tif", "im",
                 "-depth 8 -alpha set -channel A -fx i/w +channel -define tiff:alpha=unassociated", true},
        ReadCase{"tiffAssociated", "tif", "im",
                 "-depth 8 -alpha set -channel A -fx j/h +channel -define tiff:alpha=associated", false},
        ReadCase{"psd", "psd", "im", "-depth 8 -alpha set -channel A -fx i/w +channel", false},
        ReadCase{"bmp", "bmp", "im", "-alpha set -channel A -fx i/w +channel -define bmp:format=bmp4", true}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(AlphaRead, OpaqueAlphaBytesUnusableMasksAndUnusedKeysReadAsOpaque)
{
    TempDir dir;
    const std::string zero = dir.File("zero.bmp"), overlap = dir.File("overlap.bmp");
    // A version 4 header whose alpha bytes are all 0: written so by many programs.
    ImageMagick(kPlasma + " -alpha set -channel A -evaluate set 0 +channel -define bmp:format=bmp4 " + Quote(zero));
    // An alpha mask that overlaps the red one.
    ImageMagick(kPlasma + " -alpha set -channel A -fx i/w +channel -define bmp:format=bmp4 " + Quote(overlap));
    std::vector<uint8_t> bytes = ReadBytes(overlap);
    ASSERT_EQ(bytes[14 + 52 + 3], 0xFF);  // the alpha mask 0xFF000000
    bytes[14 + 52 + 2] = 0xFF;
    WriteBytes(overlap, bytes);
    const std::string key = dir.File("key.png");  // transparent samples no pixel has
    Pillow("Image.new('RGB', (4, 4), (1, 2, 3)).save('" + key + "', transparency=(9, 9, 9))");
    for (const std::string& path : {zero, overlap, key}) {
        TBitmapEx picture;
        picture.LoadFromFileEx(path);
        EXPECT_FALSE(picture.Raster()->hasAlpha) << path;
    }
}

// Each writer keeps alpha where its format can, as its own tool and Pillow
// see it; GIF keeps alpha below 128 as its transparent index.
TEST(AlphaWrite, FormatsWithAlphaKeepItAndTheirToolsSaySo)
{
    const struct {
        const char* name;
        TPixelFormat depth;
        bool grey;
        const char* check;
        const char* expected;
    } cases[] = {{"a.png", TPixelFormat::pf32bit, false, "pngcheck -v", "RGB+alpha"},
                 {"g.png", TPixelFormat::pf32bit, true, "pngcheck -v", "grayscale+alpha"},
                 {"p4.png", TPixelFormat::pf4bit, false, "pngcheck -v", "tRNS"},
                 {"p8.png", TPixelFormat::pf8bit, false, "pngcheck -v", "tRNS"},
                 {"a.tif", TPixelFormat::pf32bit, false, "tiffinfo", "Extra Samples: 1<unassoc-alpha>"},
                 {"a.gif", TPixelFormat::pf32bit, false, "giftext", "Transparency on"}};
    TempDir dir;
    for (const auto& c : cases) {
        TBitmapEx picture;
        MakeAlphaPicture(picture, c.grey);
        picture.ChangePixelFormat(c.depth);
        const std::string path = dir.File(c.name);
        picture.SaveToFileEx(path, 85);
        EXPECT_NE(ToolOutput(std::string(c.check) + " " + Quote(path)).find(c.expected), std::string::npos) << c.name;
        const RgbaPicture reread = DecodeRgbaWithPillow(path);
        if (std::string(c.name) != "a.gif") {
            ExpectSameRgba(picture, reread, c.name);
            continue;
        }
        EXPECT_EQ(ReadBytes(path)[4], '9');  // GIF89a
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(reread.At(x, y)[3], picture.Raster()->Row(y)[4 * x + 3] < 128 ? 0 : 255) << x << "," << y;
    }
    // An opaque picture stays a GIF87a file without the extension.
    TBitmapEx opaque;
    Fill(opaque, 5, 4, Noise);
    opaque.SaveToFileEx(dir.File("o.gif"), 85);
    EXPECT_EQ(ReadBytes(dir.File("o.gif"))[4], '7');
}

TEST(AlphaWrite, FormatsWithoutAlphaShowThePictureOverWhite)
{
    TempDir dir;
    TBitmapEx picture;
    MakeAlphaPicture(picture);
    for (const char* name : {"a.bmp", "a.jpg", "a.wmf"}) {
        const std::string path = dir.File(name);
        picture.SaveToFileEx(path, 100);
        // ImageMagick reads no metafiles here; the metafile player reads it back.
        const RgbPicture reread = std::string(name) == "a.wmf" ? PlayedBack(path) : DecodeWithImageMagick(path);
        ASSERT_EQ(reread.width, 40) << name;
        const bool lossy = std::string(name) == "a.jpg";
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 40; ++x) {
                const uint8_t* p = picture.Raster()->Row(y) + 4 * x;
                const uint32_t got = reread.At(x, y);
                const int channels[3] = {int(got >> 16 & 0xFF), int(got >> 8 & 0xFF), int(got & 0xFF)};
                for (int c = 0; c < 3; ++c) {
                    const long over = std::lround((p[2 - c] * p[3] + 255.0 * (255 - p[3])) / 255);
                    // JPEG's noise colours lose much, but its transparent
                    // stripe stays near white, far from the hidden black.
                    if (!lossy) {
                        ASSERT_EQ(channels[c], over) << name << " " << x << "," << y;
                    } else if (p[3] == 0) {
                        ASSERT_GE(channels[c], 200) << name << " " << x << "," << y;
                    }
                }
            }
    }
}

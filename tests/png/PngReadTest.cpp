// PNG files written by independent encoders (ImageMagick, Pillow) load with
// the pixels an independent decoder sees and the bitmap layout of the codec.
#include <gtest/gtest.h>

#include "PngTestFiles.h"
#include "TestSupport.h"
#include "formats/png/PngImage.h"
#include "common/Stream.h"
#include "formats/BitmapEx.h"

using namespace corvalin;
using namespace testsupport;

namespace {

const std::string kPlasma = "-size 37x23 -seed 3 plasma:fractal";

struct Variant {
    const char* name;
    const char* tool;    // "im" or "pillow"
    std::string recipe;  // convert arguments, or a Pillow script using SRC and OUT
    uint8_t colorType, depth, interlace;
    int bitmapBits;
    std::string reencode = "";  // convert arguments applied to Pillow's file (interlacing)
};

// Pillow's source picture: ImageMagick's plasma, so both tools start from the same pixels.
std::string PillowScript(const std::string& source, const std::string& out, const std::string& body)
{
    return "SRC = Image.open('" + source + "').convert('RGB')\nOUT = '" + out + "'\n" + body;
}

void MakeVariant(const Variant& v, const TempDir& dir, const std::string& out)
{
    if (std::string(v.tool) == "im") {
        ImageMagick(kPlasma + " " + v.recipe + " " + Quote(out));
        return;
    }
    const std::string source = dir.File("source.png");
    ImageMagick(kPlasma + " " + Quote(source));
    Pillow(PillowScript(source, out, v.recipe));
    if (!v.reencode.empty())
        ImageMagick(Quote(out) + " " + v.reencode + " " + Quote(out));
}

// Grey 16-bit samples through ImageMagick, reduced to their high bytes as
// the codec keeps them (Pillow clips such pictures when converting to RGB).
RgbPicture HighBytesOfGrey16(const std::string& path, int width, int height)
{
    const CommandResult result = RunCommand("/usr/bin/convert " + Quote(path) + " -depth 16 -endian MSB gray:-");
    RgbPicture picture;
    picture.width = width;
    picture.height = height;
    for (size_t i = 0; i + 1 < result.output.size(); i += 2)
        for (int c = 0; c < 3; ++c)
            picture.rgb.push_back(uint8_t(result.output[i]));
    return picture;
}

void ExpectSamePixels(const TBitmap& bitmap, const RgbPicture& reference, const std::string& what)
{
    ASSERT_EQ(bitmap.Width(), reference.width) << what;
    ASSERT_EQ(bitmap.Height(), reference.height) << what;
    ASSERT_EQ(reference.rgb.size(), size_t(reference.width) * reference.height * 3) << what;
    int mismatches = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x)
            if (pngtest::PixelRgb(bitmap, x, y) != reference.At(x, y) && mismatches++ == 0)
                ADD_FAILURE() << what << ": first difference at (" << x << "," << y << "): " << std::hex
                              << pngtest::PixelRgb(bitmap, x, y) << " vs " << reference.At(x, y);
    EXPECT_EQ(mismatches, 0) << what;
}

const std::vector<Variant>& Variants()
{
    static const std::vector<Variant> variants = {
        {"grey1", "im", "-colorspace Gray -threshold 50% -define png:color-type=0 -define png:bit-depth=1", 0, 1, 0, 1},
        {"grey2", "im", "-colorspace Gray -depth 2 -define png:color-type=0 -define png:bit-depth=2", 0, 2, 0, 4},
        {"grey4", "im", "-colorspace Gray -depth 4 -define png:color-type=0 -define png:bit-depth=4", 0, 4, 0, 4},
        {"grey8", "im", "-colorspace Gray -define png:color-type=0 -define png:bit-depth=8", 0, 8, 0, 8},
        {"grey16", "im", "-colorspace Gray -depth 16 -define png:color-type=0 -define png:bit-depth=16", 0, 16, 0, 8},
        {"rgb8", "im", "-define png:color-type=2 -define png:bit-depth=8", 2, 8, 0, 24},
        {"rgb16", "im", "-depth 16 -define png:color-type=2 -define png:bit-depth=16", 2, 16, 0, 24},
        {"palette1", "pillow", "SRC.quantize(2).save(OUT, bits=1)", 3, 1, 0, 1},
        {"palette2", "pillow", "SRC.quantize(4).save(OUT, bits=2)", 3, 2, 0, 4},
        {"palette4", "pillow", "SRC.quantize(16).save(OUT, bits=4)", 3, 4, 0, 4},
        {"palette8", "pillow", "SRC.quantize(256).save(OUT)", 3, 8, 0, 8},
        {"greyAlpha8", "pillow", "SRC.convert('LA').save(OUT)", 4, 8, 0, 8},
        {"greyAlpha16", "im",
         "-colorspace Gray -depth 16 -alpha set -channel A -fx i/w +channel "
         "-define png:color-type=4 -define png:bit-depth=16", 4, 16, 0, 32},
        {"rgbAlpha8", "pillow", "a = SRC.convert('L').point(lambda v: 255 - v)\nSRC.putalpha(a)\nSRC.save(OUT)", 6, 8, 0, 32},
        {"rgbAlpha16", "im",
         "-depth 16 -alpha set -channel A -fx j/h +channel -define png:color-type=6 -define png:bit-depth=16", 6, 16, 0, 32},
        // Adam7 for every colour type, with a picture whose size leaves passes partly filled.
        {"grey1i", "im", "-colorspace Gray -threshold 50% -interlace PNG -define png:color-type=0 -define png:bit-depth=1", 0, 1, 1, 1},
        {"grey2i", "im", "-colorspace Gray -depth 2 -interlace PNG -define png:color-type=0 -define png:bit-depth=2", 0, 2, 1, 4},
        {"grey4i", "im", "-colorspace Gray -depth 4 -interlace PNG -define png:color-type=0 -define png:bit-depth=4", 0, 4, 1, 4},
        {"grey8i", "im", "-colorspace Gray -interlace PNG -define png:color-type=0 -define png:bit-depth=8", 0, 8, 1, 8},
        {"grey16i", "im", "-colorspace Gray -depth 16 -interlace PNG -define png:color-type=0 -define png:bit-depth=16", 0, 16, 1, 8},
        {"rgb8i", "im", "-interlace PNG -define png:color-type=2 -define png:bit-depth=8", 2, 8, 1, 24},
        {"rgb16i", "im", "-depth 16 -interlace PNG -define png:color-type=2 -define png:bit-depth=16", 2, 16, 1, 24},
        {"palette1i", "pillow", "SRC.quantize(2).save(OUT, bits=1)", 3, 1, 1, 1,
         "-strip -interlace PNG -define png:bit-depth=1 -define png:color-type=3"},
        {"palette2i", "pillow", "SRC.quantize(4).save(OUT, bits=2)", 3, 2, 1, 4,
         "-strip -interlace PNG -define png:bit-depth=2 -define png:color-type=3"},
        {"palette4i", "pillow", "SRC.quantize(16).save(OUT, bits=4)", 3, 4, 1, 4,
         "-strip -interlace PNG -define png:bit-depth=4 -define png:color-type=3"},
        {"palette8i", "im", "-colors 200 -interlace PNG -define png:color-type=3", 3, 8, 1, 8},
        {"greyAlpha8i", "im",
         "-colorspace Gray -alpha set -channel A -fx i/w +channel -interlace PNG "
         "-define png:color-type=4 -define png:bit-depth=8", 4, 8, 1, 32},
        {"rgbAlpha8i", "im",
         "-alpha set -channel A -fx j/h +channel -interlace PNG -define png:color-type=6 -define png:bit-depth=8", 6, 8, 1, 32},
        {"rgbAlpha16i", "im",
         "-depth 16 -alpha set -channel A -fx j/h +channel -interlace PNG "
         "-define png:color-type=6 -define png:bit-depth=16", 6, 16, 1, 32},
    };
    return variants;
}

}  // namespace

TEST(PngRead, EveryColourTypeDepthAndInterlacingMatchesIndependentDecoders)
{
    TempDir dir;
    for (const Variant& v : Variants()) {
        SCOPED_TRACE(v.name);
        const std::string path = dir.File(std::string(v.name) + ".png");
        MakeVariant(v, dir, path);
        const auto chunks = pngtest::ParseChunks(ReadBytes(path));
        ASSERT_FALSE(chunks.empty());
        // The file really is the variant the row names.
        ASSERT_EQ(chunks[0].data[9], v.colorType);
        ASSERT_EQ(chunks[0].data[8], v.depth);
        ASSERT_EQ(chunks[0].data[12], v.interlace);

        TBitmapEx bitmap;
        ASSERT_EQ(bitmap.LoadFromFileEx(path), fiPng);
        EXPECT_EQ(bitmap.Raster()->bitsPerPixel, v.bitmapBits);
        EXPECT_FALSE(bitmap.Transparent);
        if (v.colorType == 0 && v.depth == 16) {
            ExpectSamePixels(bitmap, HighBytesOfGrey16(path, 37, 23), "ImageMagick");
        } else {
            ExpectSamePixels(bitmap, DecodeWithPillow(path), "Pillow");
            if (v.depth == 8)
                ExpectSamePixels(bitmap, DecodeWithImageMagick(path), "ImageMagick");
        }
    }
}

TEST(PngRead, TinyInterlacedPicturesSkipEmptyPasses)
{
    TempDir dir;
    for (const char* size : {"1x1", "2x1", "1x5", "3x2", "9x9"}) {
        SCOPED_TRACE(size);
        const std::string path = dir.File(std::string("tiny") + size + ".png");
        ImageMagick(std::string("-size ") + size + " -seed 5 plasma:fractal -interlace PNG "
                    "-define png:color-type=2 " + Quote(path));
        TBitmapEx bitmap;
        bitmap.LoadFromFileEx(path);
        ExpectSamePixels(bitmap, DecodeWithPillow(path), "Pillow");
    }
}

TEST(PngRead, PaletteWithOneTransparentEntryMarksTheBitmapWithThatColour)
{
    TempDir dir;
    const std::string source = dir.File("source.png"), path = dir.File("p.png");
    ImageMagick(kPlasma + " " + Quote(source));
    Pillow(PillowScript(source, path, "SRC.quantize(4).save(OUT, bits=2, transparency=2)"));
    TBitmap bitmap;
    pngtest::LoadInto(bitmap, ReadBytes(path));  // the codec's own hand-over
    ASSERT_TRUE(bitmap.Transparent);
    EXPECT_EQ(bitmap.TransparentColor(), bitmap.Palette()[2]);
    ExpectSamePixels(bitmap, DecodeWithPillow(path), "Pillow");
}

TEST(PngRead, PaletteWithSeveralTranslucentEntriesIsPartialAndUnmarked)
{
    TempDir dir;
    const std::string source = dir.File("source.png"), path = dir.File("p.png");
    ImageMagick(kPlasma + " " + Quote(source));
    Pillow(PillowScript(source, path, "SRC.quantize(16).save(OUT, bits=4, transparency=bytes([255, 0, 128, 255, 40]))"));
    TPNGImage png;
    const std::vector<uint8_t> bytes = ReadBytes(path);
    png.LoadFromBytes(bytes);
    EXPECT_EQ(png.TransparencyMode(), TPngTransparency::Partial);
    TBitmap bitmap;
    bitmap.AssignPicture(&png);
    EXPECT_FALSE(bitmap.Transparent);
    ExpectSamePixels(bitmap, DecodeWithPillow(path), "Pillow");
}

TEST(PngRead, GreyAndRgbTransparentSamplesFromPillowMarkTheBitmap)
{
    TempDir dir;
    const std::string source = dir.File("source.png");
    ImageMagick(kPlasma + " " + Quote(source));
    const std::string grey = dir.File("grey.png"), rgb = dir.File("rgb.png");
    Pillow(PillowScript(source, grey, "SRC.convert('L').save(OUT, transparency=77)"));
    Pillow(PillowScript(source, rgb, "SRC.save(OUT, transparency=(10, 20, 30))"));
    TBitmap a, b;  // the codec's own hand-over
    pngtest::LoadInto(a, ReadBytes(grey));
    pngtest::LoadInto(b, ReadBytes(rgb));
    EXPECT_TRUE(a.Transparent);
    EXPECT_EQ(a.TransparentColor(), RGB(77, 77, 77));
    EXPECT_TRUE(b.Transparent);
    EXPECT_EQ(b.TransparentColor(), RGB(10, 20, 30));
    ExpectSamePixels(a, DecodeWithPillow(grey), "Pillow");
    ExpectSamePixels(b, DecodeWithPillow(rgb), "Pillow");
}

TEST(PngRead, AlphaIsLeftOutOfTheBitmap)
{
    TempDir dir;
    const std::string path = dir.File("rgba.png");
    ImageMagick(kPlasma + " -alpha set -channel A -evaluate set 0 +channel -define png:color-type=6 " + Quote(path));
    TPNGImage png;
    const std::vector<uint8_t> bytes = ReadBytes(path);
    png.LoadFromBytes(bytes);
    EXPECT_EQ(png.TransparencyMode(), TPngTransparency::Partial);
    TBitmap bitmap;
    bitmap.AssignPicture(&png);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf24bit);
    EXPECT_FALSE(bitmap.Transparent);
    ExpectSamePixels(bitmap, DecodeWithPillow(path), "Pillow");
}

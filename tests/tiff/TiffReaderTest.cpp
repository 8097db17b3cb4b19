// The TIFF reader against files that libtiff's tools, ImageMagick and Pillow
// wrote, compared pixel by pixel with ImageMagick's decode of the same file.
#include <filesystem>

#include <gtest/gtest.h>

#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "formats/BitmapEx.h"
#include "formats/tiff/TiffReader.h"
#include "formats/tiff/TiffWriter.h"

using namespace corvalin;
using namespace testsupport;
using namespace picturetest;

namespace {

const std::string kNotSupported = "Cannot load image. The compression scheme is not supported for TIF/TIFF files.";
const std::string kInvalid = "Cannot load image. Invalid or unexpected TIF/TIFF image format.";

class TiffReader : public ::testing::Test {
protected:
    // A photo-like 8-bit RGB picture with odd sides, so that strips and
    // tiles end in partial blocks.
    std::string Source()
    {
        const std::string path = dir.File("source.tif");
        if (!std::filesystem::exists(path))
            ImageMagick("-size 97x61 -seed 7 plasma:red-blue -type TrueColor -depth 8 -compress None " + Quote(path));
        return path;
    }
    std::string ImageMagickFile(const std::string& name, const std::string& options)
    {
        ImageMagick(Quote(Source()) + " " + options + " " + Quote(dir.File(name)));
        return dir.File(name);
    }
    std::string Tiffcp(const std::string& name, const std::string& options, const std::string& input = "")
    {
        const std::string out = dir.File(name);
        const CommandResult r =
            RunCommand("/usr/bin/tiffcp " + options + " " + Quote(input.empty() ? Source() : input) + " " + Quote(out));
        EXPECT_EQ(r.status, 0) << options;
        return out;
    }
    TempDir dir;
};

std::string LoadError(const std::string& path)
{
    TBitmapEx picture;
    try {
        picture.LoadFromFileEx(path);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

// Loads the file and compares every pixel with ImageMagick's decode.
void ExpectLikeImageMagick(const std::string& path, TPixelFormat format, int tolerance)
{
    TBitmapEx picture;
    ASSERT_EQ(picture.LoadFromFileEx(path), fiTif);
    EXPECT_EQ(picture.PixelFormat(), format) << path;
    const RgbPicture expected = DecodeWithImageMagick(path);
    ASSERT_EQ(picture.Width(), expected.width) << path;
    ASSERT_EQ(picture.Height(), expected.height) << path;
    int worst = 0;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            const TColor c = ReadRasterPixel(*picture.Raster(), x, y);
            const uint32_t e = expected.At(x, y);
            worst = std::max({worst, std::abs(int(e >> 16) - RedOf(c)), std::abs(int((e >> 8) & 0xFF) - GreenOf(c)),
                              std::abs(int(e & 0xFF) - BlueOf(c))});
        }
    EXPECT_LE(worst, tolerance) << path;
}

}  // namespace

TEST_F(TiffReader, RgbStripsAndTilesInEveryCompressionAndByteOrder)
{
    const struct { const char* name; const char* options; } cases[] = {
        {"none.tif", "-c none"}, {"packbits.tif", "-c packbits"}, {"lzw.tif", "-c lzw"},
        {"lzw-pred.tif", "-c lzw:2 -r 7"}, {"zip.tif", "-c zip"}, {"zip-pred.tif", "-c zip:2"},
        {"be-lzw-pred.tif", "-B -c lzw:2"}, {"be-none.tif", "-B -c none -r 5"},
        {"planar.tif", "-p separate -c lzw:2"}, {"lsb2msb.tif", "-f lsb2msb -c none"},
        {"lsb2msb-lzw.tif", "-f lsb2msb -c lzw"}, {"tiles-lzw.tif", "-t -w 32 -l 16 -c lzw:2"},
        {"tiles-zip.tif", "-t -w 64 -l 64 -c zip"}, {"tiles-none.tif", "-B -t -w 16 -l 48 -c none"},
        {"tiles-planar.tif", "-t -w 48 -l 32 -p separate -c packbits"}};
    for (const auto& c : cases)
        ExpectLikeImageMagick(Tiffcp(c.name, c.options), TPixelFormat::pf24bit, 0);
}

TEST_F(TiffReader, JpegStripsAndTilesDecodeLikeLibjpegElsewhere)
{
    ExpectLikeImageMagick(Tiffcp("ycbcr.tif", "-c jpeg -r 64"), TPixelFormat::pf24bit, 3);
    ExpectLikeImageMagick(Tiffcp("ycbcr-strips.tif", "-c jpeg -r 16"), TPixelFormat::pf24bit, 3);
    ExpectLikeImageMagick(Tiffcp("ycbcr-tiles.tif", "-c jpeg -t -w 32 -l 32"), TPixelFormat::pf24bit, 3);
    ExpectLikeImageMagick(Tiffcp("jpeg-rgb.tif", "-c jpeg:r -r 32"), TPixelFormat::pf24bit, 3);
    const std::string grey = ImageMagickFile("grey8.tif", "-colorspace Gray -depth 8 -compress None");
    ExpectLikeImageMagick(Tiffcp("grey-jpeg.tif", "-c jpeg -r 16", grey), TPixelFormat::pf8bit, 3);
}

TEST_F(TiffReader, DeepAndAlphaAndColourSpaces)
{
    ExpectLikeImageMagick(ImageMagickFile("rgb16.tif", "-depth 16 -compress Zip"), TPixelFormat::pf24bit, 1);
    const std::string rgb16be = ImageMagickFile("rgb16-le.tif", "-depth 16 -compress None");
    ExpectLikeImageMagick(Tiffcp("rgb16-be-pred.tif", "-B -c zip:2", rgb16be), TPixelFormat::pf24bit, 1);
    ExpectLikeImageMagick(Tiffcp("rgb16-lzw-pred.tif", "-c lzw:2", rgb16be), TPixelFormat::pf24bit, 1);
    ExpectLikeImageMagick(ImageMagickFile("cmyk.tif", "-colorspace CMYK -compress LZW"), TPixelFormat::pf24bit, 2);
    ExpectLikeImageMagick(ImageMagickFile("cmyk16.tif", "-colorspace CMYK -depth 16 -endian MSB -compress None"),
                          TPixelFormat::pf24bit, 2);
    ExpectLikeImageMagick(ImageMagickFile("lab.tif", "-colorspace Lab -compress None"), TPixelFormat::pf24bit, 6);

    // RGBA keeps its alpha in the fourth byte.
    Pillow("from PIL import Image\nim = Image.new('RGBA', (5, 3), (10, 20, 30, 40))\n"
           "im.putpixel((4, 2), (200, 150, 100, 255))\nim.save('" + dir.File("rgba.tif") + "', compression='tiff_adobe_deflate')\n");
    TBitmapEx rgba;
    rgba.LoadFromFileEx(dir.File("rgba.tif"));
    ASSERT_EQ(rgba.PixelFormat(), TPixelFormat::pf32bit);
    const uint8_t* first = rgba.ScanLine(0);
    EXPECT_EQ((std::vector<uint8_t>(first, first + 4)), (std::vector<uint8_t>{30, 20, 10, 40}));
    const uint8_t* last = rgba.ScanLine(2) + 16;
    EXPECT_EQ((std::vector<uint8_t>(last, last + 4)), (std::vector<uint8_t>{100, 150, 200, 255}));
}

TEST_F(TiffReader, GreyAndPalettePictures)
{
    const struct { const char* name; const char* options; TPixelFormat format;
    } cases[] = {{"grey1.tif", "-colorspace Gray -threshold 50% -depth 1 -compress None", TPixelFormat::pf1bit},
                 {"grey2.tif", "-colorspace Gray -depth 2 -compress None", TPixelFormat::pf4bit},
                 {"grey4.tif", "-colorspace Gray -depth 4 -compress LZW", TPixelFormat::pf4bit},
                 {"grey8.tif", "-colorspace Gray -depth 8 -compress Zip", TPixelFormat::pf8bit},
                 {"grey16.tif", "-colorspace Gray -depth 16 -endian MSB -compress None", TPixelFormat::pf8bit},
                 {"white4.tif", "-colorspace Gray -depth 4 -define tiff:photometric=min-is-white -compress None",
                  TPixelFormat::pf4bit},
                 {"white8.tif", "-colorspace Gray -depth 8 -define tiff:photometric=min-is-white -compress None",
                  TPixelFormat::pf8bit},
                 {"white16.tif", "-colorspace Gray -depth 16 -define tiff:photometric=min-is-white -compress None",
                  TPixelFormat::pf8bit},
                 {"palette8.tif", "-colors 200 -type Palette -compress LZW", TPixelFormat::pf8bit},
                 {"palette4.tif", "-colors 16 -type Palette -depth 4 -compress None", TPixelFormat::pf4bit},
                 {"palette1.tif", "-colors 2 -type Palette -depth 1 -compress None", TPixelFormat::pf1bit}};
    for (const auto& c : cases) {
        const std::string path = ImageMagickFile(c.name, c.options);
        ExpectLikeImageMagick(path, c.format, 0);
    }
    // Grey with alpha, unassociated or associated, at 8 and 16 bits, keeps
    // its alpha in a 32-bit picture.
    for (const char* options : {"-depth 8 -compress None", "-depth 16 -compress Zip",
                                "-depth 8 -define tiff:alpha=associated -compress None"}) {
        const std::string path = ImageMagickFile("grey-alpha.tif", std::string("-colorspace Gray -alpha set -channel A "
                                                                               "-fx 'i/w' +channel ") +
                                                                       options);
        TBitmapEx picture;
        picture.LoadFromFileEx(path);
        ASSERT_EQ(picture.PixelFormat(), TPixelFormat::pf32bit) << options;
        EXPECT_TRUE(picture.Raster()->hasAlpha) << options;
        const RgbaPicture expected = DecodeRgbaWithImageMagick(path);
        for (const int x : {0, 3, 8}) {
            const uint8_t* got = picture.ScanLine(4) + 4 * x;
            const uint8_t* want = expected.At(x, 4);
            EXPECT_NEAR(got[3], want[3], 1) << options << " alpha at " << x;
            if (want[3] >= 32) {
                EXPECT_NEAR(got[0], want[2], 2) << options << " grey at " << x;
            }
        }
    }
    // A 2-bit palette keeps its indexes in a 4-bit picture.
    ExpectLikeImageMagick(ImageMagickFile("p2.tif", "-colors 4 -type Palette -depth 2 -compress None"),
                          TPixelFormat::pf4bit, 0);
}

TEST_F(TiffReader, FaxPagesAndBitOrder)
{
    const std::string page = ImageMagickFile("page.tif", "-colorspace Gray -threshold 45% -depth 1 -compress None");
    // A fax page is white-is-zero.
    ASSERT_EQ(RunCommand("/usr/bin/tiffset -s 262 0 " + Quote(page)).status, 0);
    for (const char* options : {"-c g3", "-c g3:fill", "-f lsb2msb -c g3", "-c g3 -r 13", "-t -w 32 -l 32 -c g3"})
        ExpectLikeImageMagick(Tiffcp("fax.tif", options, page), TPixelFormat::pf1bit, 0);
    // Modified Huffman (compression 2), written by Pillow through libtiff.
    Pillow("from PIL import Image\nim = Image.open('" + page + "')\nim.save('" + dir.File("mh.tif") +
           "', compression='tiff_ccitt')\n");
    ExpectLikeImageMagick(dir.File("mh.tif"), TPixelFormat::pf1bit, 0);
    // White is zero: the palette is white, black.
    TBitmapEx fax;
    fax.LoadFromFileEx(Tiffcp("g3.tif", "-c g3", page));
    EXPECT_EQ(fax.Palette(), (std::vector<TColor>{clWhite, clBlack}));
    EXPECT_EQ(LoadError(Tiffcp("g4.tif", "-c g4", page)), kNotSupported);
    EXPECT_EQ(LoadError(Tiffcp("g3-2d.tif", "-c g3:2d", page)), kNotSupported);
}

TEST_F(TiffReader, FirstPageOfManyAndRoundTripsThroughTheWriter)
{
    const std::string grey = ImageMagickFile("grey.tif", "-colorspace Gray -depth 8 -compress None");
    const std::string pages = dir.File("pages.tif");
    ASSERT_EQ(RunCommand("/usr/bin/tiffcp " + Quote(Source()) + " " + Quote(grey) + " " + Quote(pages)).status, 0);
    ExpectLikeImageMagick(pages, TPixelFormat::pf24bit, 0);
    TBitmap first;
    EXPECT_EQ(LoadTiffFile(first, ReadBytes(pages)), 2u);
    EXPECT_EQ(LoadTiffFile(first, ReadBytes(grey)), 1u);

    for (TPixelFormat format : {TPixelFormat::pf1bit, TPixelFormat::pf4bit, TPixelFormat::pf8bit, TPixelFormat::pf24bit}) {
        TBitmapEx original;
        Fill(original, 37, 11, Noise);
        original.ChangePixelFormat(format);
        const std::string path = dir.File("round.tif");
        original.SaveToFileEx(path, 75);
        TBitmapEx reread;
        reread.LoadFromFileEx(path);
        // The writer keeps 4-bit widths at multiples of 4.
        const int width = format == TPixelFormat::pf4bit ? 36 : 37;
        ASSERT_EQ(reread.Width(), width);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(ReadRasterPixel(*reread.Raster(), x, y), ReadRasterPixel(*original.Raster(), x, y));
    }
}

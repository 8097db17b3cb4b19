// Files the codec writes pass pngcheck, decode to the same pixels in Pillow,
// and have the layout the program promises.
#include <gtest/gtest.h>

#include <random>

#include "PngTestFiles.h"
#include "TestSupport.h"
#include "formats/png/PngErrors.h"
#include "formats/png/PngImage.h"
#include "common/Stream.h"
#include "formats/BitmapEx.h"

using namespace corvalin;
using namespace testsupport;
using namespace pngtest;

namespace {

void LoadPlasma(TBitmapEx& bitmap, const TempDir& dir, const std::string& size = "61x37")
{
    const std::string source = dir.File("plasma.bmp");
    ImageMagick("-size " + size + " -seed 4 plasma:fractal BMP3:" + Quote(source));
    bitmap.LoadFromFileEx(source);
}

void ExpectPngcheckPasses(const std::string& path)
{
    const CommandResult result = RunCommand("/usr/bin/pngcheck -q " + Quote(path));
    EXPECT_EQ(result.status, 0) << "pngcheck: " << result.output;
}

void ExpectSamePixels(const TBitmap& bitmap, const RgbPicture& reference)
{
    ASSERT_EQ(bitmap.Width(), reference.width);
    ASSERT_EQ(bitmap.Height(), reference.height);
    int mismatches = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x)
            mismatches += PixelRgb(bitmap, x, y) != reference.At(x, y);
    EXPECT_EQ(mismatches, 0);
}

void ExpectEveryRowFiltered(const std::vector<uint8_t>& file, size_t rowBytes, uint8_t filter)
{
    const std::vector<uint8_t> data = InflatedImageData(file);
    ASSERT_EQ(data.size() % (rowBytes + 1), 0u);
    for (size_t at = 0; at < data.size(); at += rowBytes + 1)
        ASSERT_EQ(data[at], filter) << "row " << at / (rowBytes + 1);
}

std::vector<std::string> TypesOf(const std::vector<uint8_t>& file)
{
    std::vector<std::string> types;
    for (const ParsedChunk& chunk : ParseChunks(file))
        if (types.empty() || chunk.type != "IDAT" || types.back() != "IDAT")
            types.push_back(chunk.type);
    return types;
}

}  // namespace

TEST(PngWrite, EveryPixelFormatPassesPngcheckAndDecodesIdentically)
{
    TempDir dir;
    const std::vector<std::pair<TPixelFormat, int>> formats = {
        {TPixelFormat::pf1bit, 1}, {TPixelFormat::pf4bit, 4}, {TPixelFormat::pf8bit, 8},
        {TPixelFormat::pf15bit, 24}, {TPixelFormat::pf16bit, 24}, {TPixelFormat::pf24bit, 24},
        {TPixelFormat::pf32bit, 24}, {TPixelFormat::pfDevice, 24}};
    for (auto [format, pngBits] : formats) {
        SCOPED_TRACE(int(format));
        TBitmapEx bitmap;
        LoadPlasma(bitmap, dir);
        bitmap.ChangePixelFormat(format);
        const std::string path = dir.File("out" + std::to_string(int(format)) + ".png");
        EXPECT_EQ(bitmap.SaveToFileEx(path, 0), fiPng);
        ExpectPngcheckPasses(path);
        ExpectSamePixels(bitmap, DecodeWithPillow(path));
        ExpectSamePixels(bitmap, DecodeWithImageMagick(path));

        TBitmapEx again;
        again.LoadFromFileEx(path);
        EXPECT_EQ(again.Raster()->bitsPerPixel, pngBits);
        for (int y = 0; y < bitmap.Height(); ++y)
            for (int x = 0; x < bitmap.Width(); ++x)
                ASSERT_EQ(PixelRgb(again, x, y), PixelRgb(bitmap, x, y));
    }
}

TEST(PngWrite, ChunkLayoutOfPaletteAndRgbPictures)
{
    TempDir dir;
    TBitmapEx bitmap;
    LoadPlasma(bitmap, dir);
    bitmap.ChangePixelFormat(TPixelFormat::pf8bit);
    const std::vector<uint8_t> palette = SaveFrom(bitmap);
    EXPECT_EQ(TypesOf(palette), (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
    const std::vector<ParsedChunk> chunks = ParseChunks(palette);
    EXPECT_EQ(chunks[0].data, Ihdr(61, 37, 8, 3));
    EXPECT_EQ(chunks[1].data.size(), 768u);
    ExpectEveryRowFiltered(palette, 61, 1);

    for (auto [format, entries, rowBytes] : {std::tuple{TPixelFormat::pf1bit, 2u, 8u}, {TPixelFormat::pf4bit, 16u, 31u}}) {
        TBitmapEx small;
        LoadPlasma(small, dir);
        small.ChangePixelFormat(format);
        const std::vector<uint8_t> file = SaveFrom(small);
        EXPECT_EQ(ParseChunks(file)[1].data.size(), entries * 3);
        ExpectEveryRowFiltered(file, rowBytes, 1);
    }

    bitmap.ChangePixelFormat(TPixelFormat::pf24bit);
    const std::vector<uint8_t> rgb = SaveFrom(bitmap);
    EXPECT_EQ(TypesOf(rgb), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_EQ(ParseChunks(rgb)[0].data, Ihdr(61, 37, 8, 2));
    ExpectEveryRowFiltered(rgb, 61 * 3, 1);
}

TEST(PngWrite, TransparentBitmapsGetATrnsChunk)
{
    TempDir dir;
    TBitmapEx bitmap;
    LoadPlasma(bitmap, dir);
    bitmap.Transparent = true;  // automatic colour: the bottom-left pixel
    const TColor colour = bitmap.TransparentColor();
    const std::vector<uint8_t> rgb = SaveFrom(bitmap);
    EXPECT_EQ(TypesOf(rgb), (std::vector<std::string>{"IHDR", "tRNS", "IDAT", "IEND"}));
    EXPECT_EQ(ParseChunks(rgb)[1].data,
              (std::vector<uint8_t>{0, RedOf(colour), 0, GreenOf(colour), 0, BlueOf(colour)}));
    TBitmap reread;
    LoadInto(reread, rgb);
    EXPECT_TRUE(reread.Transparent);
    EXPECT_EQ(reread.TransparentColor(), colour);

    bitmap.ChangePixelFormat(TPixelFormat::pf8bit);
    bitmap.Transparent = true;
    const std::vector<uint8_t> indexed = SaveFrom(bitmap);
    const std::string path = dir.File("t.png");
    WriteBytes(path, indexed);
    ExpectPngcheckPasses(path);
    EXPECT_EQ(TypesOf(indexed), (std::vector<std::string>{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}));
    const std::vector<uint8_t> alpha = ParseChunks(indexed)[2].data;
    const size_t entry = alpha.size() - 1;
    EXPECT_EQ(alpha.back(), 0);
    EXPECT_EQ(std::count(alpha.begin(), alpha.end(), 255), long(entry));
    EXPECT_EQ(bitmap.Palette()[entry], bitmap.TransparentColor());
    LoadInto(reread, indexed);
    EXPECT_TRUE(reread.Transparent);
    EXPECT_EQ(reread.TransparentColor(), bitmap.TransparentColor());
}

TEST(PngWrite, LargePicturesSplitIntoFullIdatChunks)
{
    TBitmap bitmap;
    TRaster& raster = bitmap.NewRaster(300, 300, TPixelFormat::pf24bit);
    std::mt19937 random(3);
    for (uint8_t& byte : raster.pixels)
        byte = uint8_t(random());
    const std::vector<uint8_t> file = SaveFrom(bitmap);
    std::vector<size_t> sizes;
    for (const ParsedChunk& chunk : ParseChunks(file))
        if (chunk.type == "IDAT")
            sizes.push_back(chunk.data.size());
    ASSERT_GT(sizes.size(), 3u);
    for (size_t i = 0; i + 1 < sizes.size(); ++i)
        EXPECT_EQ(sizes[i], 65535u);
    EXPECT_LE(sizes.back(), 65535u);
    TBitmap reread;
    LoadInto(reread, file);
    EXPECT_EQ(reread.Raster()->pixels, raster.pixels);
}

TEST(PngWrite, FilterSetsAndInterlacingAreHonoured)
{
    TempDir dir;
    TBitmapEx bitmap;
    LoadPlasma(bitmap, dir);
    struct Setting { uint8_t filters; uint8_t interlace; };
    for (Setting s : {Setting{1u << pfUp, 0}, Setting{0x1F, 0}, Setting{0x1F, 1}, Setting{1u << pfPaeth, 1}, Setting{0, 0}}) {
        SCOPED_TRACE(std::to_string(s.filters) + "/" + std::to_string(s.interlace));
        TPNGImage png;
        png.Assign(bitmap);
        png.FilterSet = s.filters;
        png.InterlaceMethod = s.interlace;
        TMemoryStream stream;
        png.SaveToStream(stream);
        const std::string path = dir.File("f.png");
        WriteBytes(path, stream.Bytes());
        ExpectPngcheckPasses(path);
        ExpectSamePixels(bitmap, DecodeWithPillow(path));
        EXPECT_EQ(ParseChunks(stream.Bytes())[0].data[12], s.interlace);
        if (s.filters == 1u << pfUp)
            ExpectEveryRowFiltered(stream.Bytes(), 61 * 3, pfUp);
        if (s.filters == 0)
            ExpectEveryRowFiltered(stream.Bytes(), 61 * 3, pfNone);
    }
}

TEST(PngWrite, LoadedPicturesWriteBackWithTheirAlpha)
{
    TempDir dir;
    const std::string source = dir.File("rgba16.png");
    ImageMagick("-size 23x19 -seed 9 plasma:fractal -depth 16 -alpha set -channel A -fx j/h +channel "
                "-interlace PNG -define png:color-type=6 -define png:bit-depth=16 " + Quote(source));
    const std::vector<uint8_t> bytes = ReadBytes(source);
    TPNGImage png;
    png.LoadFromBytes(bytes);
    TMemoryStream output;
    png.SaveToStream(output);
    const std::string path = dir.File("again.png");
    WriteBytes(path, output.Bytes());
    ExpectPngcheckPasses(path);
    EXPECT_EQ(ParseChunks(output.Bytes())[0].data, Ihdr(23, 19, 8, 6, 1));

    TPNGImage again;
    again.LoadFromBytes(output.Bytes());
    EXPECT_EQ(again.Header().Alpha, png.Header().Alpha);
    EXPECT_EQ(again.Header().Picture->pixels, png.Header().Picture->pixels);
    TBitmap bitmap;
    bitmap.AssignPicture(&again);
    ExpectSamePixels(bitmap, DecodeWithPillow(source));
}

TEST(PngWrite, EmptyBitmapIsRefusedAndLeavesTheFile)
{
    TempDir dir;
    TBitmapEx empty;
    const std::string path = dir.File("empty.png");
    WriteBytes(path, {1, 2, 3});
    EXPECT_THROW(empty.SaveToFileEx(path, 0), EInvalidGraphic);
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(PngWrite, CopiesAndMisuse)
{
    TempDir dir;
    TBitmapEx bitmap;
    LoadPlasma(bitmap, dir);
    bitmap.ChangePixelFormat(TPixelFormat::pf4bit);
    TPNGImage png;
    png.Assign(bitmap);
    TPNGImage copy;
    copy.Assign(png);
    TMemoryStream a, b;
    png.SaveToStream(a);
    copy.SaveToStream(b);
    EXPECT_EQ(a.Bytes(), b.Bytes());

    try {
        png.SetWidth(5);
        ADD_FAILURE();
    } catch (const EPngError& e) {
        EXPECT_STREQ(e.what(), "The \"Portable Network Graphics\" image can not be resize by changing width and "
                               "height properties. Try assigning the image from a bitmap.");
    }
    try {
        copy.Chunks()[0]->CopyFrom(*png.Chunks()[1]);
        ADD_FAILURE();
    } catch (const EPngError& e) {
        EXPECT_STREQ(e.what(), "The chunks must be compatible to be assigned.");
    }
    TPNGImage empty;
    EXPECT_EQ(empty.Width(), 0);
    EXPECT_THROW(empty.TransparencyMode(), EPNGHeaderNotPresent);
    TBitmap target;
    EXPECT_THROW(target.AssignPicture(&empty), EConvertError);
}

// What the ancillary chunks do: gamma correction of colours, transparent
// samples handed to the bitmap, and the text and time chunks kept.
#include <gtest/gtest.h>

#include "PngTestFiles.h"
#include "TestSupport.h"
#include "formats/png/PngImage.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"

using namespace corvalin;
using namespace pngtest;

namespace {

std::vector<uint8_t> Gama(uint32_t value)
{
    return {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
}

std::vector<uint8_t> Load(TPNGImage& png, const std::vector<uint8_t>& file)
{
    png.LoadFromBytes(file);
    return file;
}

}  // namespace

TEST(PngChunks, GammaChangesRgbPixelsPaletteAndGreyRamp)
{
    const std::vector<uint8_t> rgbRows{0, 0, 64, 128, 200, 255, 0};
    const auto rgb = [&](uint32_t gamma) {
        return File({{"IHDR", Ihdr(2, 1, 8, 2)}, {"gAMA", Gama(gamma)}, {"IDAT", Zlib(rgbRows)}, {"IEND", {}}});
    };
    TBitmap bitmap;
    LoadInto(bitmap, rgb(100000));  // gamma 1.0: samples raised to 1 / 2.2
    EXPECT_EQ(PixelRgb(bitmap, 0, 0), 0x0088BAu);
    EXPECT_EQ(PixelRgb(bitmap, 1, 0), 0xE4FF00u);
    LoadInto(bitmap, rgb(200000));
    EXPECT_EQ(PixelRgb(bitmap, 0, 0), 0x00BADAu);
    LoadInto(bitmap, rgb(0));  // no correction
    EXPECT_EQ(PixelRgb(bitmap, 0, 0), 0x004080u);

    LoadInto(bitmap, File({{"IHDR", Ihdr(3, 1, 8, 0)}, {"gAMA", Gama(100000)},
                           {"IDAT", Zlib({0, 64, 128, 200})}, {"IEND", {}}}));
    EXPECT_EQ(PixelRgb(bitmap, 0, 0), 0x888888u);
    EXPECT_EQ(PixelRgb(bitmap, 2, 0), 0xE4E4E4u);

    LoadInto(bitmap, File({{"IHDR", Ihdr(1, 1, 8, 3)}, {"gAMA", Gama(100000)}, {"PLTE", {64, 128, 200}},
                           {"IDAT", Zlib({0, 0})}, {"IEND", {}}}));
    EXPECT_EQ(PixelRgb(bitmap, 0, 0), 0x88BAE4u);
}

// The transparent colour must be the colour the marked pixels show, so that
// the bitmap leaves out exactly those pixels.
TEST(PngChunks, TransparentSamplesMatchTheirPixelsAtEveryDepth)
{
    TBitmap bitmap;
    LoadInto(bitmap, File({{"IHDR", Ihdr(2, 1, 16, 0)}, {"tRNS", {0xAB, 0xCD}},
                           {"IDAT", Zlib({0, 0x12, 0x34, 0xAB, 0xCD})}, {"IEND", {}}}));
    ASSERT_TRUE(bitmap.Transparent);
    EXPECT_EQ(bitmap.TransparentColor(), ReadRasterPixel(*bitmap.Raster(), 1, 0));
    EXPECT_NE(bitmap.TransparentColor(), ReadRasterPixel(*bitmap.Raster(), 0, 0));

    // 2-bit grey levels 0..3, level 2 transparent.
    LoadInto(bitmap, File({{"IHDR", Ihdr(4, 1, 2, 0)}, {"tRNS", {0, 2}}, {"IDAT", Zlib({0, 0x1B})}, {"IEND", {}}}));
    ASSERT_TRUE(bitmap.Transparent);
    EXPECT_EQ(bitmap.TransparentColor(), RGB(170, 170, 170));
    EXPECT_EQ(bitmap.TransparentColor(), ReadRasterPixel(*bitmap.Raster(), 2, 0));

    LoadInto(bitmap, File({{"IHDR", Ihdr(1, 1, 16, 2)}, {"tRNS", {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}},
                           {"IDAT", Zlib({0, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60})}, {"IEND", {}}}));
    EXPECT_EQ(bitmap.TransparentColor(), RGB(0x10, 0x30, 0x50));
    EXPECT_EQ(bitmap.TransparentColor(), ReadRasterPixel(*bitmap.Raster(), 0, 0));

    // A palette whose only non-opaque entry is half transparent marks that entry.
    LoadInto(bitmap, File({{"IHDR", Ihdr(2, 1, 8, 3)}, {"PLTE", {0, 0, 0, 9, 8, 7}}, {"tRNS", {255, 128}},
                           {"IDAT", Zlib({0, 0, 1})}, {"IEND", {}}}));
    ASSERT_TRUE(bitmap.Transparent);
    EXPECT_EQ(bitmap.TransparentColor(), RGB(9, 8, 7));
}

TEST(PngChunks, TextAndTimeAreReadAndWrittenBack)
{
    std::vector<uint8_t> ztxt{'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
    const std::string words = "compressed words, compressed words";
    const std::vector<uint8_t> packed = Zlib({words.begin(), words.end()});
    ztxt.insert(ztxt.end(), packed.begin(), packed.end());
    std::vector<uint8_t> damaged = ztxt;
    damaged.back() ^= 0xFF;
    const std::vector<uint8_t> file =
        File({{"IHDR", Ihdr(1, 1, 8, 0)}, {"tIME", {0x07, 0xEA, 12, 9, 5, 30, 59}},
              {"tEXt", {'T', 'i', 't', 'l', 'e', 0, 'H', 'i'}}, {"zTXt", ztxt}, {"zTXt", damaged},
              {"IDAT", Zlib({0, 0})}, {"IEND", {}}});
    TPNGImage png;
    Load(png, file);
    const auto* time = png.FindChunk<TChunktIME>();
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->Year, 2026);
    EXPECT_EQ(time->Second, 59);
    EXPECT_EQ(png.FindChunk<TChunktEXt>()->Keyword, "Title");
    EXPECT_EQ(png.FindChunk<TChunktEXt>()->Text, "Hi");
    std::vector<const TChunkzTXt*> texts;
    for (const auto& chunk : png.Chunks())
        if (auto* z = dynamic_cast<const TChunkzTXt*>(chunk.get()))
            texts.push_back(z);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0]->Text, words);
    EXPECT_EQ(texts[1]->Text, "");  // damaged text is dropped without an error

    TMemoryStream written;
    png.SaveToStream(written);
    testsupport::TempDir dir;
    testsupport::WriteBytes(dir.File("t.png"), written.Bytes());
    EXPECT_EQ(testsupport::RunCommand("/usr/bin/pngcheck -q " + dir.File("t.png")).status, 0);
    TPNGImage again;
    Load(again, written.Bytes());
    EXPECT_EQ(again.FindChunk<TChunktIME>()->Year, 2026);
    EXPECT_EQ(again.FindChunk<TChunkzTXt>()->Text, words);
    const auto chunks = ParseChunks(written.Bytes());
    EXPECT_EQ(chunks[4].type, "zTXt");
    EXPECT_EQ(again.Chunks()[4]->Type, MakeChunkType("zTXt"));
    EXPECT_EQ(static_cast<const TChunkzTXt&>(*again.Chunks()[4]).Text, " ");  // an empty text is written as a blank
}

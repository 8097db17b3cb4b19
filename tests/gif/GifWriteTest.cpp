// Writing pictures as GIF: the exact bytes of the header, the colour maps and
// the code stream, and identical pixels in other decoders.
#include <gtest/gtest.h>

#include <random>

#include "GifTestHelpers.h"
#include "formats/BitmapEx.h"

using namespace corvalin;
using namespace giftest;
using testsupport::RgbPicture;
using testsupport::TempDir;

namespace {

Bytes SaveGif(const TBitmap& picture)
{
    TGIFImage gif;
    gif.ImportBitmap(picture);
    TMemoryStream out;
    gif.SaveToStream(out);
    return out.Bytes();
}

// A picture of the given format with pseudo-random pixels.
void FillRandom(TBitmap& picture, int width, int height, TPixelFormat format, unsigned seed)
{
    TRaster& raster = picture.NewRaster(width, height, format);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (size_t i = 0; i < raster.stride; ++i)
            raster.Row(y)[i] = uint8_t(random());
}

// The picture expected after writing: indexed pictures keep their colours,
// all others take web colours level (v + 3) div 51.
RgbPicture Expected(const TBitmap& picture)
{
    RgbPicture rgb = RgbOf(picture);
    if (picture.PixelFormat() == TPixelFormat::pf1bit || picture.PixelFormat() == TPixelFormat::pf4bit ||
        picture.PixelFormat() == TPixelFormat::pf8bit)
        return rgb;
    for (uint8_t& v : rgb.rgb)
        v = uint8_t((v + 3) / 51 * 51);
    return rgb;
}

// The codes of a GIF code stream, read with the decoder's width rules.
struct CodeStream {
    std::vector<int> codes;
    bool assigns4095 = false;
};

CodeStream ReadCodes(const Bytes& joined, int minCodeSize)
{
    CodeStream result;
    const int clear = 1 << minCodeSize;
    int width = minCodeSize + 1;
    int next = clear + 2;
    bool first = true;
    size_t bit = 0;
    while (bit + size_t(width) <= joined.size() * 8) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            code |= ((joined[bit / 8] >> (bit % 8)) & 1) << i;
        result.codes.push_back(code);
        if (code == clear + 1)
            break;
        if (code == clear) {
            width = minCodeSize + 1;
            next = clear + 2;
            first = true;
            continue;
        }
        if (!first) {
            result.assigns4095 |= next == 4095;
            if (next < 4096 && ++next == (1 << width) && width < 12)
                ++width;
        }
        first = false;
    }
    return result;
}

// The image data of a written one-image file: code size and joined sub-blocks.
std::pair<int, Bytes> ImageCode(const Bytes& file, size_t at, bool* fullBlocks)
{
    const int minCodeSize = file[at++];
    Bytes joined;
    *fullBlocks = true;
    while (at < file.size() && file[at] != 0) {
        const size_t n = file[at];
        if (at + n + 1 >= file.size())
            break;
        if (file[at + n + 1] != 0 && n != 255)
            *fullBlocks = false;
        joined.insert(joined.end(), file.begin() + long(at + 1), file.begin() + long(at + 1 + n));
        at += n + 1;
    }
    EXPECT_EQ(at + 2, file.size());
    EXPECT_EQ(file.back(), 0x3B);
    return {minCodeSize, joined};
}

}  // namespace

TEST(GifWrite, EmptyPictureGivesTheFourteenByteStream)
{
    // The codec itself; the picture object refuses to save an empty picture.
    EXPECT_EQ(SaveGif(TBitmapEx{}),
              (Bytes{'G', 'I', 'F', '8', '7', 'a', 0, 0, 0, 0, 0x77, 0, 0, 0x3B}));
}

TEST(GifWrite, TrueColourPictureGetsTheWebPaletteHeader)
{
    TBitmap picture;
    FillRandom(picture, 300, 2, TPixelFormat::pf24bit, 1);
    const Bytes file = SaveGif(picture);
    Bytes head{'G', 'I', 'F', '8', '7', 'a', 44, 1, 2, 0, 0x77, 0, 0, 0x2C, 0, 0, 0, 0, 44, 1, 2, 0, 0x87};
    ASSERT_GT(file.size(), head.size() + 768 + 1);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + long(head.size())), head);
    for (int i = 0; i < 256; ++i) {
        const int r = i < 216 ? i / 36 * 51 : 0, g = i < 216 ? i / 6 % 6 * 51 : 0, b = i < 216 ? i % 6 * 51 : 0;
        const size_t at = head.size() + 3 * size_t(i);
        ASSERT_EQ((Bytes{file[at], file[at + 1], file[at + 2]}), (Bytes{uint8_t(r), uint8_t(g), uint8_t(b)})) << i;
    }
    bool fullBlocks = false;
    const auto [size, code] = ImageCode(file, head.size() + 768, &fullBlocks);
    EXPECT_EQ(size, 8);
    EXPECT_TRUE(fullBlocks);
    EXPECT_EQ(ReadCodes(code, 8).codes.front(), 256);
}

TEST(GifWrite, ColourMapSizesAndPackedBytes)
{
    struct Case {
        TPixelFormat format;
        size_t entries;
        uint8_t screenPacked, imagePacked, codeSize;
    };
    for (const Case c : {Case{TPixelFormat::pf1bit, 2, 0x00, 0x80, 2}, Case{TPixelFormat::pf4bit, 16, 0x33, 0x83, 4},
                         Case{TPixelFormat::pf8bit, 200, 0x77, 0x87, 8}}) {
        TBitmap picture;
        TRaster& raster = picture.NewRaster(5, 3, c.format);
        raster.palette.resize(c.entries);
        for (size_t i = 0; i < c.entries; ++i)
            raster.palette[i] = RGB(uint8_t(i), uint8_t(255 - i), 7);
        raster.Row(1)[0] = c.format == TPixelFormat::pf8bit ? 199 : 0x80;
        const Bytes file = SaveGif(picture);
        EXPECT_EQ(file[10], c.screenPacked);
        EXPECT_EQ(file[22], c.imagePacked);
        const size_t tableBytes = 3 * (size_t(1) << (c.imagePacked & 7) << 1);
        for (size_t i = 0; i < c.entries; ++i)
            ASSERT_EQ(file[23 + 3 * i], uint8_t(i));
        for (size_t i = 3 * c.entries; i < tableBytes; ++i)
            ASSERT_EQ(file[23 + i], 0) << i;
        EXPECT_EQ(file[23 + tableBytes], c.codeSize);
        TBitmap reread;
        LoadGifBytes(file, reread);
        EXPECT_TRUE(SamePixels(RgbOf(picture), RgbOf(reread)));
    }
}

// Red goes to web index 180, grey 128 to index 86 (102, 102, 102); channel
// levels follow (v + 3) div 51, which is not rounding to the nearest level.
TEST(GifWrite, WebPaletteReduction)
{
    TBitmap picture;
    TRaster& raster = picture.NewRaster(8, 1, TPixelFormat::pf24bit);
    const int values[8][3] = {{255, 0, 0}, {128, 128, 128}, {47, 48, 98}, {99, 149, 150}, {200, 201, 251},
                              {252, 255, 0}, {0, 0, 0}, {255, 255, 255}};
    for (int x = 0; x < 8; ++x)
        for (int c = 0; c < 3; ++c)
            raster.Row(0)[3 * x + 2 - c] = uint8_t(values[x][c]);
    TBitmap reread;
    LoadGifBytes(SaveGif(picture), reread);
    const uint8_t* indices = reread.ScanLine(0);
    EXPECT_EQ(indices[0], 180);
    EXPECT_EQ(indices[1], 86);
    EXPECT_EQ(reread.Palette()[86], RGB(102, 102, 102));
    EXPECT_EQ(indices[2], 36 * 0 + 6 * 1 + 1);
    EXPECT_EQ(indices[3], 36 * 2 + 6 * 2 + 3);
    EXPECT_EQ(indices[4], 36 * 3 + 6 * 4 + 4);
    EXPECT_EQ(indices[5], 36 * 5 + 6 * 5 + 0);
    EXPECT_EQ(indices[6], 0);
    EXPECT_EQ(indices[7], 215);
}

// Large noisy pictures fill the code table many times: the stream starts with
// a clear code, never assigns code 4095, and decodes identically elsewhere.
TEST(GifWrite, WrittenFilesDecodeIdenticallyInOtherDecoders)
{
    TempDir dir;
    const TPixelFormat formats[] = {TPixelFormat::pf1bit, TPixelFormat::pf4bit, TPixelFormat::pf8bit,
                                    TPixelFormat::pf16bit, TPixelFormat::pf24bit, TPixelFormat::pf32bit};
    unsigned seed = 10;
    for (const TPixelFormat format : formats) {
        TBitmapEx picture;
        FillRandom(picture, 301, 203, format, ++seed);
        if (format == TPixelFormat::pf8bit) {  // indices beyond the map are not allowed
            std::vector<TColor> palette(256);
            for (size_t i = 0; i < 256; ++i)
                palette[i] = TColor(i * 0x010307u) & 0xFFFFFF;
            picture.SetPalette(palette);
        }
        const std::string gif = dir.File("w" + std::to_string(int(format)) + ".gif");
        picture.SaveToFileEx(gif, 75);
        const RgbPicture expected = Expected(picture);
        EXPECT_TRUE(SamePixels(expected, testsupport::DecodeWithPillow(gif))) << int(format);
        EXPECT_TRUE(SamePixels(expected, testsupport::DecodeWithImageMagick(gif))) << int(format);

        const Bytes file = testsupport::ReadBytes(gif);
        const size_t mapBytes = 3 * (size_t(2) << (file[22] & 7));
        bool fullBlocks = false;
        const auto [size, code] = ImageCode(file, 23 + mapBytes, &fullBlocks);
        EXPECT_TRUE(fullBlocks);
        const CodeStream codes = ReadCodes(code, size);
        EXPECT_EQ(codes.codes.front(), 1 << size);
        EXPECT_EQ(codes.codes.back(), (1 << size) + 1);
        EXPECT_FALSE(codes.assigns4095);
        EXPECT_GT(std::count(codes.codes.begin(), codes.codes.end(), 1 << size), 1) << "table never filled";
    }
}

TEST(GifWrite, GiflibReadsWrittenFiles)
{
    TempDir dir;
    TBitmapEx picture;
    FillRandom(picture, 64, 33, TPixelFormat::pf24bit, 99);
    const std::string gif = dir.File("g.gif");
    picture.SaveToFileEx(gif, 0);
    const auto result = testsupport::RunCommand("/usr/bin/gif2rgb -1 -o " + testsupport::Quote(dir.File("g.rgb")) +
                                                " " + testsupport::Quote(gif));
    ASSERT_EQ(result.status, 0);
    const Bytes rgb = testsupport::ReadBytes(dir.File("g.rgb"));
    RgbPicture giflib{64, 33, rgb};
    EXPECT_TRUE(SamePixels(Expected(picture), giflib));
}

TEST(GifWrite, IndexBeyondTheMapFailsAndLeavesTheEarlierFile)
{
    TempDir dir;
    const std::string gif = dir.File("keep.gif");
    testsupport::WriteBytes(gif, Bytes{'o', 'l', 'd'});
    TBitmapEx picture;
    TRaster& raster = picture.NewRaster(4, 4, TPixelFormat::pf8bit);
    raster.palette = {clBlack, clWhite};
    raster.Row(3)[2] = 2;
    try {
        picture.SaveToFileEx(gif, 0);
        FAIL() << "no error";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Color not in color table");
    }
    EXPECT_EQ(testsupport::ReadBytes(gif), (Bytes{'o', 'l', 'd'}));
}

TEST(GifWrite, SidesAbove65535AreARangeError)
{
    TBitmap picture;
    picture.NewRaster(65536, 1, TPixelFormat::pf8bit);
    TGIFImage gif;
    try {
        gif.ImportBitmap(picture);
        FAIL() << "no error";
    } catch (const ERangeError& e) {
        EXPECT_STREQ(e.what(), "Fehler bei Bereichsprüfung");
    }
}

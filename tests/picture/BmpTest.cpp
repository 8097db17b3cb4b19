#include <gtest/gtest.h>

#include <cstring>

#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "common/Stream.h"

using namespace corvalin;
using namespace picturetest;
using namespace testsupport;

namespace {

std::vector<uint8_t> WriteBmp(const TBitmap& picture)
{
    TMemoryStream stream;
    picture.WriteBmpStream(stream);
    return stream.TakeBytes();
}

void ReadBmp(TBitmap& picture, std::vector<uint8_t> bytes)
{
    picture.ReadBmp(bytes);
}

uint32_t U32At(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

void Put32At(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

template <typename E>
void ExpectFailure(std::vector<uint8_t> bytes, const char* message)
{
    TBitmapEx picture;
    Fill(picture, 1, 1, Noise);
    try {
        ReadBmp(picture, std::move(bytes));
        FAIL() << "no error for " << message;
    } catch (const E& e) {
        EXPECT_STREQ(e.what(), message);
    }
    EXPECT_EQ(picture.Width(), 1);  // the previous content stays
}

}  // namespace

TEST(BmpWrite, LayoutOfTheConversionsResults)
{
    struct Case { TPixelFormat format; uint16_t bits; uint32_t compression; uint32_t offset; };
    const Case cases[] = {{TPixelFormat::pf1bit, 1, 0, 62},   {TPixelFormat::pf4bit, 4, 0, 118},
                          {TPixelFormat::pf8bit, 8, 0, 1078}, {TPixelFormat::pf16bit, 16, 3, 66},
                          {TPixelFormat::pf24bit, 24, 0, 54}, {TPixelFormat::pf32bit, 32, 0, 54}};
    for (const Case& c : cases) {
        TBitmapEx picture;
        Fill(picture, 9, 2, Noise);
        picture.ChangePixelFormat(c.format);
        const std::vector<uint8_t> file = WriteBmp(picture);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(U32At(file, 10), c.offset) << c.bits;
        EXPECT_EQ(file[28], c.bits);
        EXPECT_EQ(U32At(file, 30), c.compression);
        const uint32_t rowBytes = (9 * c.bits + 31) / 32 * 4;
        EXPECT_EQ(U32At(file, 34), 2 * rowBytes);
        EXPECT_EQ(U32At(file, 2), file.size());
        EXPECT_EQ(file.size(), c.offset + 2 * rowBytes);
        if (c.bits == 16) {
            EXPECT_EQ(U32At(file, 54), 0xF800u);
        }
    }
}

TEST(BmpWrite, TwoByTwoTwentyFourBitIsSeventyBytes)
{
    TBitmapEx picture;
    Fill(picture, 2, 2, Noise);
    const auto file = WriteBmp(picture);
    ASSERT_EQ(file.size(), 70u);
    // Bottom row first, padded to 8 bytes.
    EXPECT_EQ(file[54], BlueOf(Noise(0, 1)));
    EXPECT_EQ(file[60], 0);
    EXPECT_EQ(file[62], BlueOf(Noise(0, 0)));
}

TEST(BmpWrite, EmptyPictureWritesNothingAndEmptyStreamReadsEmpty)
{
    TBitmapEx picture;
    EXPECT_TRUE(WriteBmp(picture).empty());
    Fill(picture, 2, 2, Noise);
    ReadBmp(picture, {});
    EXPECT_TRUE(picture.Empty());
}

TEST(BmpRoundTrip, EveryFormatReadsBackWithItsPixels)
{
    for (TPixelFormat format : {TPixelFormat::pf1bit, TPixelFormat::pf4bit, TPixelFormat::pf8bit,
                                TPixelFormat::pf15bit, TPixelFormat::pf16bit, TPixelFormat::pf24bit,
                                TPixelFormat::pf32bit, TPixelFormat::pfDevice}) {
        TBitmapEx picture, back;
        Fill(picture, 13, 5, Noise);
        picture.ChangePixelFormat(format);
        ReadBmp(back, WriteBmp(picture));
        EXPECT_TRUE(SamePixels(picture, back)) << int(format);
        const TPixelFormat expected = format == TPixelFormat::pfDevice ? TPixelFormat::pf32bit : format;
        EXPECT_EQ(back.PixelFormat(), expected);
    }
}

TEST(BmpRead, DataOffsetIsIgnoredAndShortDataReadsAsZeros)
{
    TBitmapEx picture;
    Fill(picture, 3, 4, [](int, int) { return clWhite; });
    std::vector<uint8_t> file = WriteBmp(picture);
    Put32At(file, 10, 5000);
    file.resize(54 + 12 + 5);  // one full row (the bottom one) and a bit
    TBitmapEx back;
    ReadBmp(back, file);
    ASSERT_EQ(back.Height(), 4);
    EXPECT_EQ(back.Canvas().ReadPixel(0, 3), clWhite);
    EXPECT_EQ(back.Canvas().ReadPixel(0, 2), clWhite);
    EXPECT_EQ(back.Canvas().ReadPixel(2, 2), clBlack);
    EXPECT_EQ(back.Canvas().ReadPixel(0, 0), clBlack);
}

TEST(BmpRead, TopDownRowsKeepTheirOrderAndAreWrittenBackTopDown)
{
    TBitmapEx picture;
    Fill(picture, 2, 3, Noise);
    std::vector<uint8_t> file = WriteBmp(picture);
    // Turn the file into a top-down one: negate the height and reverse the rows.
    Put32At(file, 22, uint32_t(-3));
    std::vector<uint8_t> rows(file.begin() + 54, file.end());
    for (int r = 0; r < 3; ++r)
        std::memcpy(file.data() + 54 + 8 * r, rows.data() + 8 * (2 - r), 8);
    TBitmapEx back;
    ReadBmp(back, file);
    EXPECT_TRUE(SamePixels(picture, back));
    EXPECT_EQ(WriteBmp(back), file);
}

TEST(BmpRead, SampledRowsScaleToTheSamePixelsAsTheWholePicture)
{
    for (TPixelFormat format : {TPixelFormat::pf1bit, TPixelFormat::pf4bit, TPixelFormat::pf8bit,
                                TPixelFormat::pf16bit, TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
        TBitmapEx picture;
        Fill(picture, 13, 29, Noise);
        picture.ChangePixelFormat(format);
        std::vector<uint8_t> bottomUp = WriteBmp(picture);
        std::vector<uint8_t> cut = bottomUp;
        cut.resize(cut.size() - (cut.size() - U32At(cut, 10)) / 3);  // the top rows are missing
        std::vector<uint8_t> topDown = bottomUp;
        Put32At(topDown, 22, uint32_t(-29));  // the same rows, read upside down
        for (const auto& file : {bottomUp, cut, topDown}) {
            TBitmap whole;
            whole.ReadBmp(file);
            for (int rows : {1, 4, 14, 28, 29, 40}) {
                TBitmap sampled;
                sampled.ReadBmp(file, [rows](int32_t, int32_t) { return rows; });
                EXPECT_EQ(ScaledRows(*sampled.Raster(), 7, rows), ScaledRows(*whole.Raster(), 7, rows))
                    << int(format) << " to " << rows << " rows";
                // One bit a pixel is scaled by combining rows: it comes whole.
                const bool fewer = format != TPixelFormat::pf1bit && rows < 29;
                EXPECT_EQ(sampled.Height(), fewer ? rows : 29) << int(format);
            }
        }
    }
}

// The file's own fields travel beside the raster: shared and resized
// pictures keep them all, a format change keeps only the resolution.
TEST(BmpRead, TheFilesDescriptionTravelsBesideThePixels)
{
    TBitmapEx picture;
    Fill(picture, 2, 3, Noise);
    std::vector<uint8_t> file = WriteBmp(picture);
    Put32At(file, 22, uint32_t(-3));  // top-down (the rows' order does not matter here)
    Put32At(file, 38, 2835);
    Put32At(file, 42, 1417);
    Put32At(file, 50, 5);
    TBitmapEx back;
    ReadBmp(back, file);
    EXPECT_TRUE(back.BmpDescription().topDown);

    TBitmapEx shared;
    shared.AssignPicture(&back);
    EXPECT_EQ(WriteBmp(shared), file);

    shared.SetPictureWidth(4);
    const auto resized = WriteBmp(shared);
    EXPECT_EQ(U32At(resized, 22), uint32_t(-3));
    EXPECT_EQ(U32At(resized, 38), 2835u);
    EXPECT_EQ(U32At(resized, 50), 5u);

    shared.ChangePixelFormat(TPixelFormat::pf32bit);
    const auto converted = WriteBmp(shared);
    EXPECT_EQ(U32At(converted, 22), 3u);
    EXPECT_EQ(U32At(converted, 38), 2835u);
    EXPECT_EQ(U32At(converted, 42), 1417u);
    EXPECT_EQ(U32At(converted, 50), 0u);
    // The picture it was shared from is untouched.
    EXPECT_EQ(WriteBmp(back), file);
}

TEST(BmpRead, MalformedHeadersGiveTheirErrors)
{
    TBitmapEx picture;
    Fill(picture, 2, 2, Noise);
    const std::vector<uint8_t> good = WriteBmp(picture);

    ExpectFailure<EReadError>({'B', 'M', 0, 0}, "Stream-Lesefehler");
    ExpectFailure<EInvalidGraphic>({0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 0, 0, 0, 0, 0, 0}, "Bitmap ist ungültig");
    auto planes = good;
    planes[26] = 2;
    ExpectFailure<EInvalidGraphic>(planes, "Bitmap ist ungültig");
    auto colours = good;
    Put32At(colours, 46, 257);
    ExpectFailure<EInvalidGraphic>(colours, "Bitmap ist ungültig");
    auto tableCut = good;
    tableCut[28] = 8;
    tableCut.resize(54 + 100);
    ExpectFailure<EReadError>(tableCut, "Stream-Lesefehler");
    auto huge = good;
    Put32At(huge, 18, 1000000);
    Put32At(huge, 22, 1000000);
    ExpectFailure<EOutOfResources>(huge, "Systemressourcen erschöpft.");
    auto headerSize = good;
    Put32At(headerSize, 14, 0xFFFFFFF0);
    ExpectFailure<EReadError>(headerSize, "Stream-Lesefehler");
    auto jpegInside = good;
    Put32At(jpegInside, 30, 4);
    ExpectFailure<EInvalidGraphic>(jpegInside, "Bitmap ist ungültig");
}

namespace {

// A 4x3 RLE8 file: palette of 3 entries, runs, an absolute run and a delta.
std::vector<uint8_t> Rle8File()
{
    std::vector<uint8_t> data = {
        3, 1, 1, 2, 0, 0,           // bottom row: 1 1 1 2
        0, 3, 2, 0, 1, 0, 0, 0,     // absolute run 2 0 1 (padded), then end of line
        0, 2, 1, 0,                 // delta: one right
        9, 1,                       // run past the row's end is clipped
        0, 1};                      // end of picture
    std::vector<uint8_t> file(14 + 40 + 12);
    file[0] = 'B';
    file[1] = 'M';
    Put32At(file, 14, 40);
    Put32At(file, 18, 4);
    Put32At(file, 22, 3);
    file[26] = 1;
    file[28] = 8;
    Put32At(file, 30, 1);
    Put32At(file, 46, 3);
    const uint8_t table[12] = {0, 0, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0};  // black, red, blue
    std::memcpy(file.data() + 54, table, 12);
    file.insert(file.end(), data.begin(), data.end());
    Put32At(file, 2, uint32_t(file.size()));
    return file;
}

}  // namespace

TEST(BmpRle, DecodesIntoADevicePictureAndWritesTheFileBackUnchanged)
{
    TBitmapEx picture;
    const auto file = Rle8File();
    ReadBmp(picture, file);
    ASSERT_EQ(picture.PixelFormat(), TPixelFormat::pfDevice);
    const TColor red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    EXPECT_EQ(picture.Canvas().ReadPixel(0, 2), red);
    EXPECT_EQ(picture.Canvas().ReadPixel(3, 2), blue);
    EXPECT_EQ(picture.Canvas().ReadPixel(0, 1), blue);
    EXPECT_EQ(picture.Canvas().ReadPixel(1, 1), clBlack);
    EXPECT_EQ(picture.Canvas().ReadPixel(2, 1), red);
    EXPECT_EQ(picture.Canvas().ReadPixel(0, 0), clBlack);  // skipped by the delta
    EXPECT_EQ(picture.Canvas().ReadPixel(1, 0), red);
    EXPECT_EQ(picture.Canvas().ReadPixel(3, 0), red);
    EXPECT_EQ(WriteBmp(picture), file);

    TBitmapEx shared;
    shared.AssignPicture(&picture);
    shared.Canvas().WritePixel(0, 0, clWhite);
    const auto changed = WriteBmp(shared);
    EXPECT_EQ(U32At(changed, 30), 0u);
    EXPECT_EQ(changed[28], 32);
    EXPECT_EQ(WriteBmp(picture), file);
}

TEST(BmpRle, HostileRunsStayInsideThePicture)
{
    auto file = Rle8File();
    file.resize(file.size() - 2);
    const std::vector<uint8_t> hostile = {0, 255, 1, 2, 0, 2, 255, 255, 200, 3, 0, 40};
    file.insert(file.end(), hostile.begin(), hostile.end());
    TBitmapEx picture;
    ReadBmp(picture, file);
    EXPECT_EQ(picture.Width(), 4);
    auto wrongDepth = Rle8File();
    wrongDepth[28] = 4;
    ExpectFailure<EInvalidGraphic>(wrongDepth, "Bitmap ist ungültig");
}

// Files written by ImageMagick, read by Corvalin, compared with ImageMagick's own decoding.
TEST(BmpInterop, ReadsTheVariantsImageMagickWrites)
{
    TempDir dir;
    const std::string source = dir.File("source.ppm");
    ImageMagick("-size 23x17 plasma:fractal -seed 3 " + Quote(source));
    ImageMagick("-size 23x17 xc:white -fill black -draw 'rectangle 3,3 12,9' " + Quote(dir.File("bw.ppm")));
    struct Variant { const char* name; std::string arguments; };
    const Variant variants[] = {
        {"1bit.bmp", Quote(dir.File("bw.ppm")) + " -type bilevel BMP3:"},
        {"4bit.bmp", Quote(source) + " -colors 16 -type palette -depth 4 BMP3:"},
        {"8bit.bmp", Quote(source) + " -colors 200 -type palette BMP3:"},
        {"rle8.bmp", Quote(source) + " -colors 200 -type palette -compress rle BMP3:"},
        {"rle4.bmp", Quote(source) + " -colors 16 -type palette -depth 4 -compress rle BMP3:"},
        {"24bit.bmp", Quote(source) + " -type truecolor BMP3:"},
        {"32bit.bmp", Quote(source) + " -type truecolormatte -alpha on -channel A -evaluate set 100% BMP:"},
        {"565.bmp", Quote(source) + " -define bmp:subtype=RGB565 BMP:"},
        {"555.bmp", Quote(source) + " -define bmp:subtype=RGB555 BMP:"},
        {"v5.bmp", Quote(source) + " BMP:"},
        {"os2.bmp", Quote(source) + " -colors 64 -type palette BMP2:"},
    };
    for (const Variant& v : variants) {
        const std::string path = dir.File(v.name);
        ImageMagick(v.arguments + Quote(path));
        const RgbPicture reference = DecodeWithImageMagick(path);
        TBitmapEx picture;
        ASSERT_NO_THROW(picture.LoadFromFileEx(path)) << v.name;
        ASSERT_EQ(picture.Width(), reference.width) << v.name;
        ASSERT_EQ(picture.Height(), reference.height) << v.name;
        int differences = 0;
        for (int y = 0; y < reference.height; ++y)
            for (int x = 0; x < reference.width; ++x) {
                const TColor c = picture.Canvas().ReadPixel(x, y);
                const uint32_t rgb = uint32_t(RedOf(c)) << 16 | uint32_t(GreenOf(c)) << 8 | BlueOf(c);
                differences += rgb != reference.At(x, y);
            }
        EXPECT_EQ(differences, 0) << v.name;
    }
}

// Corvalin's files in every pixel format, decoded by ImageMagick and Pillow.
TEST(BmpInterop, IndependentDecodersReadWhatCorvalinWrites)
{
    TempDir dir;
    for (TPixelFormat format : {TPixelFormat::pf1bit, TPixelFormat::pf4bit, TPixelFormat::pf8bit,
                                TPixelFormat::pf16bit, TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
        TBitmapEx picture;
        Fill(picture, 31, 9, Noise);
        picture.ChangePixelFormat(format);
        const std::string path = dir.File("out.bmp");
        picture.SaveToFileEx(path, 75);
        for (const RgbPicture& decoded : {DecodeWithImageMagick(path), DecodeWithPillow(path)}) {
            ASSERT_EQ(decoded.width, 31);
            ASSERT_EQ(decoded.height, 9);
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 31; ++x) {
                    const TColor c = picture.Canvas().ReadPixel(x, y);
                    // Decoders widen 5- and 6-bit components differently, by at most 1.
                    const int tolerance = format == TPixelFormat::pf16bit ? 1 : 0;
                    const uint32_t d = decoded.At(x, y);
                    ASSERT_NEAR(int(d >> 16), RedOf(c), tolerance) << int(format) << " at " << x << "," << y;
                    ASSERT_NEAR(int((d >> 8) & 0xFF), GreenOf(c), tolerance);
                    ASSERT_NEAR(int(d & 0xFF), BlueOf(c), tolerance);
                }
        }
    }
}

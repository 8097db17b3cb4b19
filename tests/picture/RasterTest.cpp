#include <gtest/gtest.h>

#include "PictureTestUtil.h"
#include "common/Exceptions.h"
#include "picture/Palettes.h"
#include "picture/Rotate.h"

using namespace corvalin;
using namespace picturetest;

TEST(PictureSize, WidthThenHeightGivesAWhite24BitRaster)
{
    TBitmapEx picture;
    picture.SetPictureWidth(3);
    EXPECT_TRUE(picture.Empty());
    picture.SetPictureHeight(2);
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf24bit);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(picture.Canvas().ReadPixel(x, y), clWhite);
}

TEST(PictureSize, GrowingAddsWhiteAndShrinkingCutsOff)
{
    TBitmapEx picture;
    Fill(picture, 4, 4, Noise);
    picture.SetPictureWidth(6);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(picture.Canvas().ReadPixel(x, y), Noise(x, y));
        EXPECT_EQ(picture.Canvas().ReadPixel(4, y), clWhite);
        EXPECT_EQ(picture.Canvas().ReadPixel(5, y), clWhite);
    }
    picture.SetPictureWidth(2);
    EXPECT_EQ(picture.Width(), 2);
    EXPECT_EQ(picture.Canvas().ReadPixel(1, 3), Noise(1, 3));
    picture.SetPictureHeight(0);
    EXPECT_TRUE(picture.Empty());
}

TEST(PictureSize, GrowingUsesTheBrushColourOnceASurfaceExists)
{
    TBitmapEx picture;
    Fill(picture, 2, 2, Noise);
    picture.Canvas().Brush.Color = RGB(1, 2, 3);
    picture.SetPictureHeight(3);
    EXPECT_EQ(picture.Canvas().ReadPixel(1, 2), RGB(1, 2, 3));
}

TEST(PictureSize, PackedFormatsKeepTheirPixelsWhenResized)
{
    TBitmapEx picture;
    Fill(picture, 9, 3, [](int x, int y) { return (x + y) % 2 ? clWhite : clBlack; });
    picture.ChangePixelFormat(TPixelFormat::pf1bit);
    picture.SetPictureWidth(17);
    for (int x = 0; x < 9; ++x)
        EXPECT_EQ(picture.Canvas().ReadPixel(x, 1), (x + 1) % 2 ? clWhite : clBlack) << x;
    EXPECT_EQ(picture.Canvas().ReadPixel(16, 0), clWhite);
}

TEST(Sharing, AChangeToOneHolderIsNotSeenByTheOther)
{
    TBitmapEx a, b;
    Fill(a, 3, 3, Noise);
    b.AssignPicture(&a);
    EXPECT_EQ(a.Raster(), b.Raster());
    b.Canvas().WritePixel(1, 1, RGB(9, 9, 9));
    EXPECT_EQ(a.Canvas().ReadPixel(1, 1), Noise(1, 1));
    a.Canvas().WritePixel(0, 0, RGB(7, 7, 7));
    EXPECT_EQ(b.Canvas().ReadPixel(0, 0), Noise(0, 0));
    b.SetPictureWidth(1);
    EXPECT_EQ(a.Width(), 3);
    b.AssignPicture(nullptr);
    EXPECT_TRUE(b.Empty());
    EXPECT_FALSE(a.Empty());
}

TEST(Pixels, OutsideThePictureReadsInvalidAndWritesNothing)
{
    TBitmapEx picture;
    Fill(picture, 2, 2, Noise);
    EXPECT_EQ(picture.Canvas().ReadPixel(2, 0), kInvalidColor);
    EXPECT_EQ(picture.Canvas().ReadPixel(0, -1), kInvalidColor);
    picture.Canvas().WritePixel(-1, 0, clBlack);
    picture.Canvas().WritePixel(0, 2, clBlack);
    EXPECT_EQ(picture.Canvas().ReadPixel(0, 0), Noise(0, 0));
}

TEST(Scaling, NearestNeighbourNeverBlends)
{
    TBitmapEx source, wide, narrow;
    const TColor red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    Fill(source, 2, 1, [&](int x, int) { return x == 0 ? red : blue; });
    wide.SetPictureWidth(4);
    wide.SetPictureHeight(1);
    wide.Canvas().DrawStretched({0, 0, 4, 1}, source);
    EXPECT_EQ(wide.Canvas().ReadPixel(0, 0), red);
    EXPECT_EQ(wide.Canvas().ReadPixel(1, 0), red);
    EXPECT_EQ(wide.Canvas().ReadPixel(2, 0), blue);
    EXPECT_EQ(wide.Canvas().ReadPixel(3, 0), blue);

    TBitmapEx four;
    Fill(four, 4, 1, [](int x, int) { return RGB(uint8_t(10 * x), 0, 0); });
    narrow.SetPictureWidth(2);
    narrow.SetPictureHeight(1);
    narrow.Canvas().DrawStretched({0, 0, 2, 1}, four);
    for (int x = 0; x < 2; ++x) {
        const TColor c = narrow.Canvas().ReadPixel(x, 0);
        EXPECT_TRUE(c == RGB(0, 0, 0) || c == RGB(10, 0, 0) || c == RGB(20, 0, 0) || c == RGB(30, 0, 0));
    }
    EXPECT_NE(narrow.Canvas().ReadPixel(0, 0), narrow.Canvas().ReadPixel(1, 0));
}

TEST(Scaling, OneBitSourcesLetIndexZeroWinWhenShrinking)
{
    TBitmapEx source;
    Fill(source, 4, 2, [](int x, int y) { return x == 3 && y == 1 ? clBlack : clWhite; });
    source.ChangePixelFormat(TPixelFormat::pf1bit);
    TBitmapEx target;
    target.SetPictureWidth(2);
    target.SetPictureHeight(1);
    target.Canvas().DrawStretched({0, 0, 2, 1}, source);
    EXPECT_EQ(target.Canvas().ReadPixel(0, 0), clWhite);
    EXPECT_EQ(target.Canvas().ReadPixel(1, 0), clBlack);
}

TEST(Scaling, TransparentPixelsKeepTheTarget)
{
    TBitmapEx source;
    Fill(source, 2, 1, [](int x, int) { return x == 0 ? RGB(0, 255, 0) : RGB(1, 1, 1); });
    source.Transparent = true;
    source.SetTransparentColor(RGB(0, 255, 0));
    TBitmapEx target;
    Fill(target, 2, 1, [](int, int) { return RGB(5, 5, 5); });
    target.Canvas().DrawPictureAt(0, 0, source);
    EXPECT_EQ(target.Canvas().ReadPixel(0, 0), RGB(5, 5, 5));
    EXPECT_EQ(target.Canvas().ReadPixel(1, 0), RGB(1, 1, 1));
}

TEST(PixelFormat, FourBitsTakeTheNearestOfTheFixedSixteen)
{
    TBitmapEx picture;
    Fill(picture, 2, 1, [](int x, int) { return x == 0 ? RGB(250, 10, 10) : RGB(100, 100, 100); });
    picture.ChangePixelFormat(TPixelFormat::pf4bit);
    EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf4bit);
    EXPECT_EQ(picture.Canvas().ReadPixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(picture.Canvas().ReadPixel(1, 0), RGB(128, 128, 128));
    EXPECT_EQ(picture.Palette().size(), 16u);
}

TEST(PixelFormat, ThirtyTwoBitsKeepEveryColourWithAZeroFourthByte)
{
    TBitmapEx picture;
    Fill(picture, 5, 3, Noise);
    picture.ChangePixelFormat(TPixelFormat::pf32bit);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(picture.Canvas().ReadPixel(x, y), Noise(x, y));
            EXPECT_EQ(picture.ScanLine(y)[4 * x + 3], 0);
        }
}

TEST(PixelFormat, SixteenAndFifteenBitsReduceTheComponents)
{
    TBitmapEx picture;
    Fill(picture, 2, 1, [](int x, int) { return x == 0 ? RGB(255, 255, 255) : RGB(0x84, 0x86, 0x88); });
    picture.ChangePixelFormat(TPixelFormat::pf16bit);
    EXPECT_EQ(picture.Canvas().ReadPixel(0, 0), clWhite);
    const uint16_t v = uint16_t(picture.ScanLine(0)[2] | picture.ScanLine(0)[3] << 8);
    EXPECT_EQ(v, (0x84 >> 3) << 11 | (0x86 >> 2) << 5 | (0x88 >> 3));
    picture.ChangePixelFormat(TPixelFormat::pf15bit);
    EXPECT_EQ(picture.Canvas().ReadPixel(0, 0), clWhite);
}

TEST(PixelFormat, EightBitsUseTheHalftonePaletteAndItsNearestColour)
{
    TBitmapEx picture;
    Fill(picture, 64, 64, Noise);
    picture.ChangePixelFormat(TPixelFormat::pf8bit);
    ASSERT_TRUE(IsHalftonePalette(picture.Palette()));
    const std::vector<TColor> palette(HalftonePalette().begin(), HalftonePalette().end());
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(picture.ScanLine(y)[x], NearestIndex(palette, Noise(x, y))) << x << "," << y;
}

TEST(PixelFormat, FastHalftoneSearchAgreesWithTheFullSearch)
{
    const std::vector<TColor> palette(HalftonePalette().begin(), HalftonePalette().end());
    auto check = [&](int r, int g, int b) {
        ASSERT_EQ(NearestHalftone(uint8_t(r), uint8_t(g), uint8_t(b)), NearestIndex(palette, RGB(uint8_t(r), uint8_t(g), uint8_t(b))))
            << r << "," << g << "," << b;
    };
    // A grid through the whole cube, and every colour close to a grey, where
    // the cube and the grey ramp compete.
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5)
                check(r, g, b);
    for (int v = 0; v < 256; ++v)
        for (int dg = -4; dg <= 4; ++dg)
            for (int db = -4; db <= 4; ++db)
                if (v + dg >= 0 && v + dg < 256 && v + db >= 0 && v + db < 256)
                    check(v, v + dg, v + db);
}

TEST(PixelFormat, OneBitIsBlackAndWhiteByLuminance)
{
    TBitmapEx picture;
    Fill(picture, 3, 1, [](int x, int) { return x == 0 ? RGB(200, 200, 200) : x == 1 ? RGB(40, 40, 40) : RGB(0, 255, 0); });
    picture.ChangePixelFormat(TPixelFormat::pf1bit);
    EXPECT_EQ(picture.Canvas().ReadPixel(0, 0), clWhite);
    EXPECT_EQ(picture.Canvas().ReadPixel(1, 0), clBlack);
    EXPECT_EQ(picture.Canvas().ReadPixel(2, 0), clWhite);
}

TEST(PixelFormat, CustomIsRefusedAndLeavesThePicture)
{
    TBitmapEx picture;
    Fill(picture, 2, 2, Noise);
    try {
        picture.ChangePixelFormat(TPixelFormat::pfCustom);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Ungültiges Pixel-Format");
    }
    EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(picture.Canvas().ReadPixel(1, 1), Noise(1, 1));
}

TEST(Limits, RastersBeyondTheLimitFailBeforeAllocation)
{
    TBitmapEx picture;
    picture.SetPictureWidth(100000);
    try {
        picture.SetPictureHeight(100000);
        FAIL();
    } catch (const EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "Systemressourcen erschöpft.");
    }
    EXPECT_TRUE(picture.Empty());
}

// Turns a picture the slow way: one pixel at a time through the surfaces.
static void RotateByPixels(TBitmap& source, TBitmap& target)
{
    target.SetPictureWidth(source.Height());
    target.SetPictureHeight(source.Width());
    for (int x = 0; x < target.Width(); ++x)
        for (int y = 0; y < target.Height(); ++y)
            target.Canvas().WritePixel(x, y, source.Canvas().ReadPixel(y, source.Height() - 1 - x));
}

TEST(QuarterTurn, GivesExactlyThePixelsOfThePerPixelRotation)
{
    const TPixelFormat formats[] = {TPixelFormat::pf24bit, TPixelFormat::pf1bit, TPixelFormat::pf4bit,
                                    TPixelFormat::pf8bit, TPixelFormat::pf16bit, TPixelFormat::pf32bit};
    for (TPixelFormat format : formats) {
        for (const auto& [w, h] : {std::pair{37, 70}, std::pair{1, 5}, std::pair{66, 33}}) {
            TBitmapEx source;
            Fill(source, w, h, Noise);
            source.ChangePixelFormat(format);
            TBitmapEx fast, slow;
            RotateQuarterClockwise(source, fast);
            RotateByPixels(source, slow);
            EXPECT_EQ(fast.PixelFormat(), TPixelFormat::pf24bit);
            EXPECT_TRUE(SamePixels(fast, slow)) << int(format) << " " << w << "x" << h;
        }
    }
}

TEST(QuarterTurn, TopLeftEndsTopRight)
{
    TBitmapEx source, target;
    Fill(source, 4, 2, [](int x, int y) { return RGB(uint8_t(x), uint8_t(y), 1); });
    RotateQuarterClockwise(source, target);
    ASSERT_EQ(target.Width(), 2);
    ASSERT_EQ(target.Height(), 4);
    EXPECT_EQ(target.Canvas().ReadPixel(1, 0), RGB(0, 0, 1));
    EXPECT_EQ(target.Canvas().ReadPixel(0, 3), RGB(3, 1, 1));
}

TEST(Text, StandsInAWhiteBoxInTheFontColour)
{
    TBitmapEx picture;
    Fill(picture, 120, 40, [](int, int) { return clBlack; });
    TFont font;
    font.Name = "Arial";
    font.Height = -16;
    font.Color = RGB(255, 0, 0);
    picture.Canvas().AssignFont(font);
    picture.Canvas().DrawTextAt(5, 5, "Hällo");
    EXPECT_EQ(picture.Canvas().ReadPixel(4, 5), clBlack);
    EXPECT_EQ(picture.Canvas().ReadPixel(5, 5), clWhite);
    int red = 0, white = 0;
    for (int y = 5; y < 30; ++y)
        for (int x = 5; x < 70; ++x) {
            const TColor c = picture.Canvas().ReadPixel(x, y);
            red += c == RGB(255, 0, 0);
            white += c == clWhite;
        }
    EXPECT_GT(red, 20);
    EXPECT_GT(white, 100);
}

TEST(Text, PositiveHeightIsTheWholeCell)
{
    TBitmapEx picture;
    Fill(picture, 200, 60, [](int, int) { return clBlack; });
    TFont font;
    font.Height = 30;
    picture.Canvas().AssignFont(font);
    picture.Canvas().DrawTextAt(0, 0, "Xg");
    int lastWhiteRow = -1;
    for (int y = 0; y < 60; ++y)
        if (picture.Canvas().ReadPixel(0, y) == clWhite)
            lastWhiteRow = y;
    EXPECT_EQ(lastWhiteRow, 29);
}

TEST(Text, PaletteRastersGetTheNearestColourWithoutBlending)
{
    TBitmapEx picture;
    Fill(picture, 80, 30, [](int, int) { return clBlack; });
    picture.ChangePixelFormat(TPixelFormat::pf4bit);
    TFont font;
    font.Height = -20;
    font.Color = RGB(250, 0, 0);
    picture.Canvas().AssignFont(font);
    picture.Canvas().DrawTextAt(2, 2, "WW");
    bool sawRed = false;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            const TColor c = picture.Canvas().ReadPixel(x, y);
            ASSERT_TRUE(c == clBlack || c == clWhite || c == RGB(255, 0, 0)) << std::hex << c;
            sawRed |= c == RGB(255, 0, 0);
        }
    EXPECT_TRUE(sawRed);
}

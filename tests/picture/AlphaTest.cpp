#include <gtest/gtest.h>

#include "PictureTestUtil.h"
#include "picture/Backdrop.h"
#include "picture/Rotate.h"
#include "picture/RowCodec.h"

using namespace corvalin;
using namespace picturetest;

namespace {

// Alpha levels around the palette threshold and the ends.
constexpr uint8_t kLevels[] = {0, 1, 90, 127, 128, 200, 254, 255};

// A 32-bit picture with alpha: colours from colorAt, alpha cycling kLevels.
void FillWithAlpha(TBitmap& picture, int width, int height, const std::function<TColor(int, int)>& colorAt)
{
    TRaster& raster = picture.NewRaster(width, height, TPixelFormat::pf32bit);
    raster.hasAlpha = true;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = raster.Row(y) + 4 * x;
            const TColor c = colorAt(x, y);
            p[0] = BlueOf(c);
            p[1] = GreenOf(c);
            p[2] = RedOf(c);
            p[3] = kLevels[size_t(x * 7 + y * 3) % std::size(kLevels)];
        }
}

uint8_t AlphaAt(const TRaster& raster, int x, int y)
{
    std::vector<uint8_t> bgra(size_t(raster.width) * 4);
    DecodeRowToBgra(raster, y, bgra.data());
    return bgra[4 * size_t(x) + 3];
}

// The picture laid over white by hand, as an opaque 24-bit picture.
void OverWhite(const TBitmap& source, TBitmap& flat)
{
    const TRaster& raster = *source.Raster();
    flat.NewRaster(raster.width, raster.height, TPixelFormat::pf24bit);
    for (int y = 0; y < raster.height; ++y)
        for (int x = 0; x < raster.width; ++x) {
            const uint8_t* p = raster.Row(y) + 4 * x;
            auto over = [a = p[3]](uint8_t c) { return uint8_t(std::lround((c * a + 255.0 * (255 - a)) / 255)); };
            flat.Canvas().WritePixel(x, y, RGB(over(p[2]), over(p[1]), over(p[0])));
        }
}

TColor FewColours(int x, int y)
{
    static const TColor colours[] = {RGB(255, 0, 0), RGB(0, 0, 128), RGB(0, 255, 255), clBlack, RGB(128, 128, 128)};
    return colours[size_t(x / 3 + y) % std::size(colours)];
}

}  // namespace

// Each depth of the conversion settings against the same depth of the
// picture laid over white first.
class AlphaDepth : public ::testing::TestWithParam<TPixelFormat> {};

TEST_P(AlphaDepth, KeepsAlphaOrMarksOneEntryOrLaysThePictureOverWhite)
{
    const TPixelFormat format = GetParam();
    // Noise uses every entry of a palette, so the one given up for
    // transparency moves some pixels to their next nearest entry; a few
    // colours leave entries unused.
    const struct {
        TColor (*colorAt)(int, int);
        bool leavesEntriesUnused;
    } pictures[] = {{Noise, false}, {FewColours, true}};
    for (const auto& [colorAt, leavesEntriesUnused] : pictures) {
        TBitmapEx picture, flat;
        FillWithAlpha(picture, 37, 23, colorAt);
        OverWhite(picture, flat);
        const std::vector<uint8_t> before(picture.Raster()->pixels.begin(), picture.Raster()->pixels.end());
        picture.ChangePixelFormat(format);
        flat.ChangePixelFormat(format);
        const TRaster& raster = *picture.Raster();
        EXPECT_EQ(raster.hasAlpha, format == TPixelFormat::pf32bit);
        if (format == TPixelFormat::pf32bit) {
            EXPECT_TRUE(std::equal(before.begin(), before.end(), raster.pixels.begin()));
            continue;
        }
        const bool palette = format == TPixelFormat::pf4bit || format == TPixelFormat::pf8bit;
        ASSERT_EQ(raster.transparentIndex >= 0, palette);
        if (palette) {
            EXPECT_EQ(raster.palette[size_t(raster.transparentIndex)], kBackdropColor);
        }
        int differences = 0;
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x) {
                const bool clear = palette && kLevels[size_t(x * 7 + y * 3) % std::size(kLevels)] < 128;
                EXPECT_EQ(AlphaAt(raster, x, y), clear ? 0 : 255);
                if (!clear && picture.Canvas().ReadPixel(x, y) != flat.Canvas().ReadPixel(x, y))
                    ++differences;
            }
        EXPECT_LE(differences, palette && !leavesEntriesUnused ? 37 * 23 / 8 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, AlphaDepth,
                         ::testing::Values(TPixelFormat::pf1bit, TPixelFormat::pf4bit, TPixelFormat::pf8bit,
                                           TPixelFormat::pf16bit, TPixelFormat::pf24bit, TPixelFormat::pf32bit));

// Alpha goes with its pixel: the opaque grey picture made of the alpha
// values, turned and scaled the same way, shows the same numbers.
TEST(AlphaSampling, TurnedAndScaledAlphaMatchesTheSameGreyPicture)
{
    struct Case {
        int turns, width, height;
    } cases[] = {{0, 20, 9}, {1, 61, 75}, {2, 37, 23}, {3, 13, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.turns);
        TBitmapEx picture, grey;
        FillWithAlpha(picture, 37, 23, Noise);
        Fill(grey, 37, 23, [&](int x, int y) {
            const uint8_t a = picture.Raster()->Row(y)[4 * x + 3];
            return RGB(a, a, a);
        });
        for (int k = 0; k < c.turns; ++k) {
            TBitmapEx turned, turnedGrey;
            RotateQuarterClockwise(picture, turned);
            RotateQuarterClockwise(grey, turnedGrey);
            picture.AssignPicture(&turned);
            grey.AssignPicture(&turnedGrey);
        }
        ASSERT_TRUE(picture.Raster()->hasAlpha);
        TBitmapEx scaled, scaledGrey;
        scaled.NewRaster(c.width, c.height, TPixelFormat::pf32bit).hasAlpha = true;
        scaled.Canvas().DrawStretched(TRect{0, 0, c.width, c.height}, picture);
        scaledGrey.SetPictureWidth(c.width);
        scaledGrey.SetPictureHeight(c.height);
        scaledGrey.Canvas().DrawStretched(TRect{0, 0, c.width, c.height}, grey);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                ASSERT_EQ(AlphaAt(*scaled.Raster(), x, y), RedOf(scaledGrey.Canvas().ReadPixel(x, y))) << x << "," << y;
    }
}

// Black text on a picture whose hidden colour is black: the stamp is
// opaque, and its antialiased edges blend with white, not with the hidden black.
TEST(AlphaText, TheStampIsOpaqueAndBlendsWithTheBackdrop)
{
    for (const TBrushStyle brush : {TBrushStyle::bsSolid, TBrushStyle::bsClear}) {
        TBitmapEx picture;
        TRaster& raster = picture.NewRaster(120, 40, TPixelFormat::pf32bit);
        raster.hasAlpha = true;  // every pixel black and transparent
        picture.Canvas().Font.Height = -24;
        picture.Canvas().Font.Color = RGB(255, 0, 0);
        picture.Canvas().Brush.Style = brush;
        picture.Canvas().Brush.Color = RGB(0, 0, 255);
        picture.Canvas().DrawTextAt(4, 4, "Wq");
        int stamped = 0, edges = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 120; ++x) {
                const uint8_t* p = picture.Raster()->Row(y) + 4 * x;
                EXPECT_TRUE(p[3] == 0 || p[3] == 255);
                if (p[3] == 0) {
                    EXPECT_EQ(p[0] | p[1] | p[2], 0);  // untouched
                    continue;
                }
                ++stamped;
                if (brush == TBrushStyle::bsClear) {
                    EXPECT_EQ(p[2], 255) << x << "," << y;  // red over white keeps full red
                    edges += p[1] > 0 ? 1 : 0;
                }
            }
        EXPECT_GT(stamped, 50);
        if (brush == TBrushStyle::bsClear) {
            EXPECT_GT(edges, 0);
        }
    }
}

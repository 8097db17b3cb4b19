// Smooth scaling against what it must give, and against Pillow's Lanczos.
#include <gtest/gtest.h>

#include <cmath>

#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "picture/RowCodec.h"
#include "picture/SmoothScale.h"

using namespace corvalin;
using namespace picturetest;
using namespace testsupport;

namespace {

std::vector<uint8_t> BgraRow(const TRaster& raster, int y)
{
    std::vector<uint8_t> bgra(size_t(raster.width) * 4);
    DecodeRowToBgra(raster, y, bgra.data());
    return bgra;
}

// A photograph-like picture made by Pillow: soft shapes from a coarse random
// field, hard edges and fine grain.
void MakePhotoLike(const std::string& path, int width, int height)
{
    Pillow("from PIL import Image, ImageDraw\nimport random\nrandom.seed(5)\nw, h = " + std::to_string(width) + ", " +
           std::to_string(height) +
           "\nim = Image.merge('RGB', [Image.effect_noise((w // 12 + 2, h // 12 + 2), 60).resize((w, h), "
           "Image.BICUBIC) for _ in range(3)])\n"
           "d = ImageDraw.Draw(im)\n"
           "for _ in range(12):\n"
           "    x, y = random.randrange(w), random.randrange(h)\n"
           "    d.ellipse((x, y, x + w // 6, y + h // 5), fill=tuple(random.randrange(256) for _ in range(3)))\n"
           "grain = Image.effect_noise((w, h), 10).convert('RGB')\n"
           "Image.blend(im, grain, 0.1).save(" +
           Quote(path) + ")\n");
}

}  // namespace

// One-pixel stripes that nearest scaling turns black or white become grey.
TEST(SmoothScale, StripesShrunkFourTimesBecomeEvenGrey)
{
    for (const bool across : {false, true}) {
        SCOPED_TRACE(across);
        TBitmap stripes;
        Fill(stripes, 400, 400, [across](int x, int y) { return ((across ? y : x) % 2) != 0 ? clWhite : clBlack; });
        const auto smooth = ScaleSmoothly(*stripes.Raster(), 100, 100);
        double furthest = 0;
        for (int y = 0; y < 100; ++y) {
            const std::vector<uint8_t> bgra = BgraRow(*smooth, y);
            for (size_t i = 0; i < bgra.size(); ++i)
                if (i % 4 != 3)
                    furthest = std::max(furthest, std::abs(bgra[i] - 127.5));
        }
        EXPECT_LE(furthest, 12);
        auto nearest = TRaster::Create(100, 100, TPixelFormat::pf24bit);
        StretchRaster(*nearest, TRect{0, 0, 100, 100}, *stripes.Raster(), std::nullopt);
        EXPECT_TRUE(nearest->Row(50)[0] == 0 || nearest->Row(50)[0] == 255);
    }
}

// Filtering the opacity with the colours keeps a white disc's edge white.
TEST(SmoothScale, AWhiteDiscOnTransparentBlackKeepsAWhiteEdge)
{
    TBitmap disc;
    TRaster& raster = disc.NewRaster(400, 400, TPixelFormat::pf32bit);
    raster.hasAlpha = true;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            if (std::hypot(x - 199.5, y - 199.5) < 150)
                std::fill_n(raster.Row(y) + 4 * x, 4, uint8_t(255));
    const auto small = ScaleSmoothly(raster, 100, 100);
    ASSERT_TRUE(small->hasAlpha);
    int edge = 0;
    uint8_t darkest = 255;
    for (int y = 0; y < 100; ++y) {
        const uint8_t* row = small->Row(y);
        for (int x = 0; x < 100; ++x, row += 4)
            if (row[3] != 0) {
                edge += row[3] < 255;
                darkest = std::min({darkest, row[0], row[1], row[2]});
            }
    }
    EXPECT_GT(edge, 100);
    EXPECT_GE(darkest, 235);
}

// The filter itself, on a picture no decoder has reduced: shrinking and
// enlarging four times against Pillow's Lanczos.
TEST(SmoothScale, MatchesPillowsLanczos)
{
    struct Case {
        int width, height, targetWidth, targetHeight;
        double minPsnr;
    };
    const Case cases[] = {{1600, 1200, 400, 300, 44}, {100, 75, 400, 300, 40}, {400, 300, 399, 150, 44}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const std::string source = dir.File("photo.png"), reference = dir.File("reference.png");
        MakePhotoLike(source, c.width, c.height);
        Pillow("from PIL import Image\nImage.open(" + Quote(source) + ").resize((" + std::to_string(c.targetWidth) +
               ", " + std::to_string(c.targetHeight) + "), Image.LANCZOS).save(" + Quote(reference) + ")\n");
        TBitmapEx picture;
        picture.LoadFromFileEx(source);
        const auto scaled = ScaleSmoothly(*picture.Raster(), c.targetWidth, c.targetHeight);
        EXPECT_GE(Psnr(RgbOf(*scaled), DecodeWithPillow(reference)), c.minPsnr);
    }
}

// Extreme sizes scale an even colour to the same colour; a result beyond
// the raster limit is refused before anything is allocated for it.
TEST(SmoothScale, ExtremeSizesKeepAnEvenColour)
{
    struct Case {
        int width, height, targetWidth, targetHeight;
    };
    const Case cases[] = {{20000, 1, 1, 1}, {1, 20000, 1, 1}, {20000, 3, 7, 1}, {1, 1, 3000, 2000}, {7, 5, 7, 5}};
    const TColor colour = RGB(200, 90, 17);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        TBitmap even;
        Fill(even, c.width, c.height, [colour](int, int) { return colour; });
        const auto scaled = ScaleSmoothly(*even.Raster(), c.targetWidth, c.targetHeight);
        ASSERT_EQ(scaled->width, c.targetWidth);
        ASSERT_EQ(scaled->height, c.targetHeight);
        for (const int y : {0, c.targetHeight - 1})
            for (const int x : {0, c.targetWidth / 2, c.targetWidth - 1})
                EXPECT_EQ(ReadRasterPixel(*scaled, x, y), colour);
    }
    TBitmap dot;
    Fill(dot, 1, 1, [colour](int, int) { return colour; });
    EXPECT_THROW(ScaleSmoothly(*dot.Raster(), 50000, 50000), EOutOfResources);
}

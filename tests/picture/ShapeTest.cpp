// The canvas's shape and scaled-raster drawing, on device-format and on
// 24-bit pictures (the latter drawn through a device-format copy).
#include <gtest/gtest.h>

#include "PictureTestUtil.h"

namespace {

using namespace picturetest;

TShapePath Box(double left, double top, double right, double bottom)
{
    return {TFigure{{{left, top}, {right, top}, {right, bottom}, {left, bottom}}, true}};
}

int CountColor(TBitmap& picture, TColor color)
{
    int count = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            count += picture.Canvas().ReadPixel(x, y) == color ? 1 : 0;
    return count;
}

TEST(CanvasShapes, FillCoversWholePixelsInsideTheClips)
{
    for (TPixelFormat format : {TPixelFormat::pfDevice, TPixelFormat::pf24bit, TPixelFormat::pf8bit}) {
        TBitmapEx picture;
        picture.NewRaster(10, 10, format);
        picture.Canvas().FillPath(Box(0, 0, 10, 10), TBrush{clWhite}, TFillRule::frWinding);
        picture.Canvas().FillPath(Box(2, 2, 6, 6), TBrush{RGB(255, 0, 0)}, TFillRule::frWinding);
        EXPECT_EQ(CountColor(picture, RGB(255, 0, 0)), 16);
        EXPECT_EQ(picture.Canvas().ReadPixel(2, 2), RGB(255, 0, 0));
        EXPECT_EQ(picture.Canvas().ReadPixel(6, 6), clWhite);

        // Only inside the clip; a clear brush draws nothing.
        picture.Canvas().Clips = {TClip{Box(0, 0, 10, 3)}};
        picture.Canvas().FillPath(Box(0, 0, 10, 10), TBrush{clBlack}, TFillRule::frWinding);
        picture.Canvas().FillPath(Box(0, 0, 10, 10), TBrush{clBlack, TBrushStyle::bsClear}, TFillRule::frWinding);
        EXPECT_EQ(CountColor(picture, clBlack), 30);
    }
}

TEST(CanvasShapes, ThinPensAndEvenOddFills)
{
    TBitmapEx picture;
    picture.NewRaster(10, 10, TPixelFormat::pfDevice);
    picture.Canvas().FillPath(Box(0, 0, 10, 10), TBrush{clWhite}, TFillRule::frWinding);
    // A pen thinner than a pixel still draws one row of pixels, without blending.
    picture.Canvas().StrokePath({TFigure{{{1, 3}, {8, 3}}, false}}, TPen{RGB(0, 0, 255), 0.2, TPenStyle::psSolid,
                                                                          TLineCap::lcFlat});
    EXPECT_EQ(CountColor(picture, RGB(0, 0, 255)), 7);
    EXPECT_EQ(CountColor(picture, clWhite), 93);

    // A box inside a box: alternate leaves the inner one out, winding fills it.
    TShapePath rings = Box(0, 4, 10, 10);
    rings.push_back(Box(3, 6, 7, 9)[0]);
    picture.Canvas().FillPath(rings, TBrush{clBlack}, TFillRule::frAlternate);
    EXPECT_EQ(picture.Canvas().ReadPixel(5, 7), clWhite);
    picture.Canvas().FillPath(rings, TBrush{clBlack}, TFillRule::frWinding);
    EXPECT_EQ(picture.Canvas().ReadPixel(5, 7), clBlack);
}

// A long figure is stroked a piece at a time: the square's outline traced in
// steps of a quarter pixel (thousands of points) must draw what its four
// corners alone draw, closed or open, solid or dashed, thin or wide.
struct TracedOutline {
    bool closed;
    TPenStyle style;
    double width;
};

class StrokePieces : public testing::TestWithParam<TracedOutline> {};

TEST_P(StrokePieces, DrawWhatTheWholeFigureDraws)
{
    const TracedOutline c = GetParam();
    const TPointF corners[4]{{10.3, 10.3}, {210.3, 10.3}, {210.3, 190.3}, {10.3, 190.3}};
    TFigure traced{{}, c.closed}, plain{{corners[0], corners[1], corners[2], corners[3]}, c.closed};
    for (int side = 0; side < (c.closed ? 4 : 3); ++side)
        for (int step = 0; step < 800; ++step) {
            const TPointF a = corners[side], b = corners[(side + 1) % 4];
            traced.points.push_back({a.x + (b.x - a.x) * step / 800, a.y + (b.y - a.y) * step / 800});
        }
    if (!c.closed)
        traced.points.push_back(corners[3]);
    const TPen pen{clBlack, c.width, c.style, TLineCap::lcFlat, TLineJoin::ljMiter};
    TBitmapEx whole, pieced;
    for (TBitmapEx* picture : {&whole, &pieced}) {
        picture->NewRaster(220, 200, TPixelFormat::pfDevice);
        picture->Canvas().FillPath(Box(0, 0, 220, 200), TBrush{clWhite}, TFillRule::frWinding);
    }
    whole.Canvas().StrokePath({plain}, pen);
    pieced.Canvas().StrokePath({traced}, pen);
    const int drawn = CountColor(whole, clBlack);
    EXPECT_GT(drawn, 400);
    int differing = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 220; ++x)
            differing += whole.Canvas().ReadPixel(x, y) != pieced.Canvas().ReadPixel(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0) << "of " << drawn;
}

INSTANTIATE_TEST_SUITE_P(ClosedOrOpenSolidOrDashed, StrokePieces,
                         testing::Values(TracedOutline{true, TPenStyle::psSolid, 1},
                                         TracedOutline{true, TPenStyle::psDash, 1},
                                         TracedOutline{true, TPenStyle::psDashDot, 5},
                                         TracedOutline{false, TPenStyle::psSolid, 5},
                                         TracedOutline{false, TPenStyle::psDash, 3}));

TEST(CanvasShapes, RastersAreScaledNearestAndMirrored)
{
    TBitmapEx source;
    Fill(source, 2, 1, [](int x, int) { return x == 0 ? RGB(255, 0, 0) : RGB(0, 0, 255); });
    TBitmapEx picture;
    picture.NewRaster(4, 1, TPixelFormat::pf24bit);
    picture.Canvas().DrawRasterPart(*source.Raster(), TRect{0, 0, 2, 1}, {0, 0}, {4, 1});
    EXPECT_EQ(picture.Canvas().ReadPixel(1, 0), RGB(255, 0, 0));
    EXPECT_EQ(picture.Canvas().ReadPixel(2, 0), RGB(0, 0, 255));
    picture.Canvas().DrawRasterPart(*source.Raster(), TRect{0, 0, 2, 1}, {4, 0}, {0, 1});
    EXPECT_EQ(picture.Canvas().ReadPixel(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(picture.Canvas().ReadPixel(3, 0), RGB(255, 0, 0));
}

}  // namespace

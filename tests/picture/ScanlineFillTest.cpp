// The scanline fill against a plain rasterisation: every pixel centre tested
// on its own against every edge, by crossing count (alternate) and by
// winding number, for small outlines that cross themselves, hold holes,
// touch pixel centres or reach past the picture.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "picture/ScanlineFill.h"

using namespace corvalin;

namespace {

constexpr int kSide = 24;

// The winding number of the path around (x, y), every figure closed.
int WindingAround(const TShapePath& path, double x, double y)
{
    int winding = 0;
    for (const TFigure& figure : path)
        for (size_t i = 0; i < figure.points.size(); ++i) {
            const TPointF a = figure.points[i], b = figure.points[(i + 1) % figure.points.size()];
            // Edges hold their upper end and not their lower one.
            if ((a.y <= y) == (b.y <= y))
                continue;
            const double crossX = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (crossX <= x)
                winding += b.y > a.y ? 1 : -1;
        }
    return winding;
}

int CrossingsLeftOf(const TShapePath& path, double x, double y)
{
    int count = 0;
    for (const TFigure& figure : path)
        for (size_t i = 0; i < figure.points.size(); ++i) {
            const TPointF a = figure.points[i], b = figure.points[(i + 1) % figure.points.size()];
            if ((a.y <= y) != (b.y <= y) && a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y) <= x)
                ++count;
        }
    return count;
}

std::string Reference(const TShapePath& path, TFillRule rule)
{
    std::string out;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            const bool inside = rule == TFillRule::frAlternate ? CrossingsLeftOf(path, cx, cy) % 2 == 1
                                                               : WindingAround(path, cx, cy) != 0;
            out += inside ? '#' : '.';
        }
    return out;
}

std::string Filled(const TShapePath& path, TFillRule rule)
{
    std::string out(size_t(kSide * kSide), '.');
    TScanlineFill fill(path, rule, kSide, kSide);
    for (int y = fill.Top(); y < fill.Bottom(); ++y)
        for (const TSpan& span : fill.Row(y))
            for (int x = span.left; x < span.right; ++x)
                out[size_t(y * kSide + x)] = '#';
    return out;
}

struct Outline {
    const char* name;
    TShapePath path;
};

TFigure Star(double cx, double cy, double r)
{
    TFigure star;
    for (int k = 0; k < 5; ++k) {
        const double angle = 0.3 + k * 4 * 3.14159265358979 / 5;
        star.points.push_back({cx + r * std::cos(angle), cy + r * std::sin(angle)});
    }
    return star;
}

const Outline kOutlines[] = {
    {"triangle", {{{{2.2, 1.7}, {20.6, 5.1}, {7.3, 22.9}}, true}}},
    {"star crossing itself", {Star(12, 12, 11)}},
    {"square with a hole the same way round",
     {{{{2, 2}, {22, 2}, {22, 22}, {2, 22}}, true}, {{{7, 7}, {17, 7}, {17, 17}, {7, 17}}, true}}},
    {"square with a hole the other way round",
     {{{{2, 2}, {22, 2}, {22, 22}, {2, 22}}, true}, {{{7, 7}, {7, 17}, {17, 17}, {17, 7}}, true}}},
    {"open figure closed by the fill", {{{{3, 3}, {21, 4}, {12, 20}}, false}}},
    {"corners on pixel centres", {{{{3.5, 3.5}, {15.5, 3.5}, {15.5, 9.5}, {9.5, 20.5}}, true}}},
    {"reaching past every side",
     {{{{-30, 12}, {12, -40}, {60, 12}, {12, 90}}, true}, {{{-5, -5}, {30, 30}, {-5, 30}}, true}}},
    {"zigzag of many crossings",
     {{{{0, 0}, {24, 3}, {0, 6}, {24, 9}, {0, 12}, {24, 15}, {0, 18}, {24, 24}, {12, 0}, {6, 24}, {18, 1}}, true}}},
};

class ScanlineFillAgainstReference : public testing::TestWithParam<Outline> {};

}  // namespace

TEST_P(ScanlineFillAgainstReference, SamePixelsForBothRules)
{
    for (TFillRule rule : {TFillRule::frAlternate, TFillRule::frWinding})
        EXPECT_EQ(Filled(GetParam().path, rule), Reference(GetParam().path, rule))
            << GetParam().name << (rule == TFillRule::frAlternate ? ", alternate" : ", winding");
}

INSTANTIATE_TEST_SUITE_P(SmallOutlines, ScanlineFillAgainstReference, testing::ValuesIn(kOutlines));

TEST(ScanlineFill, SpansIntersectPiecewise)
{
    const std::vector<TSpan> a{{0, 5}, {8, 12}, {15, 20}}, b{{3, 9}, {11, 16}, {19, 30}};
    std::vector<std::pair<int, int>> both;
    for (const TSpan& span : IntersectSpans(a, b))
        both.emplace_back(span.left, span.right);
    EXPECT_EQ(both, (std::vector<std::pair<int, int>>{{3, 5}, {8, 9}, {11, 12}, {15, 16}, {19, 20}}));
}

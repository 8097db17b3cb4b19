// The rows of a filled outline: the pixels whose centres lie inside it,
// found row by row with a list of the edges that cross the row. The cost is
// about edges x log edges (their order by first row) plus the crossings met
// plus the pixels between a row's outermost crossings, whatever the
// outline's self-intersections; no row above or below the picture is visited.
#pragma once

#include <cstddef>
#include <vector>

#include "picture/Shapes.h"

namespace corvalin {

// Pixels [left, right) of one row.
struct TSpan {
    int left = 0;
    int right = 0;
};

class TScanlineFill {
public:
    // Every figure is closed for the fill; points that are not finite count
    // as 0, farther ones are pulled in to where nothing visible changes.
    TScanlineFill(const TShapePath& path, TFillRule rule, int width, int height);

    // First and one past the last row that can hold pixels.
    int Top() const { return top_; }
    int Bottom() const { return bottom_; }
    // The inside pixels of row y, left to right and apart from each other;
    // rows are asked for in increasing order.
    const std::vector<TSpan>& Row(int y);

private:
    struct TEdge {
        double x0 = 0, y0 = 0, slope = 0;  // x = x0 + (y - y0) * slope
        int firstRow = 0, endRow = 0;
        int direction = 0;  // +1 downwards, -1 upwards
    };
    void AddEdge(TPointF a, TPointF b);

    TFillRule rule_;
    int width_, height_;
    int top_ = 0, bottom_ = 0;
    std::vector<TEdge> edges_;  // by first row
    size_t nextEdge_ = 0;
    std::vector<TEdge> active_;  // the edges crossing the row, in no order
    std::vector<int> tallies_;  // per pixel: the crossings just left of its centre
    std::vector<TSpan> spans_;
};

// The parts of spans that also lie in others (both sorted and apart).
std::vector<TSpan> IntersectSpans(const std::vector<TSpan>& spans, const std::vector<TSpan>& others);

}  // namespace corvalin

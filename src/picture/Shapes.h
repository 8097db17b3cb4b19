// What the canvas's shape drawing takes: outlines in device pixels (x to the
// right, y downwards, pixel (i, j) covering [i, i+1) x [j, j+1)), a pen that
// strokes them and a fill rule.
#pragma once

#include <vector>

#include "picture/Color.h"

namespace corvalin {

struct TPointF {
    double x = 0;
    double y = 0;
};

// A run of points, joined by straight lines; a closed figure returns to its start.
struct TFigure {
    std::vector<TPointF> points;
    bool closed = false;
};

using TShapePath = std::vector<TFigure>;

// Alternate fills where an odd number of edges lies on either side; winding
// fills wherever the edges wind around the point.
enum class TFillRule { frAlternate, frWinding };

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
enum class TLineCap { lcRound, lcSquare, lcFlat };
enum class TLineJoin { ljRound, ljBevel, ljMiter };

struct TPen {
    TColor Color = clBlack;
    double Width = 1;  // in device pixels; thinner pens still draw one pixel
    TPenStyle Style = TPenStyle::psSolid;
    TLineCap Cap = TLineCap::lcRound;
    TLineJoin Join = TLineJoin::ljRound;
};

// A clip outline: only the inside of every clip of a canvas is drawn on.
struct TClip {
    TShapePath path;
    TFillRule rule = TFillRule::frWinding;
};

}  // namespace corvalin

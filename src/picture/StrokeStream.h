// Strokes figures whose points arrive one at a time, holding little of them:
// short figures are gathered and stroked together, a long one is stroked a
// piece at a time as its points come. The pieces overlap by one segment, so
// that every join is drawn whole and the dashes run on from where the last
// piece left them; a long closed figure keeps its first two points for the
// join where it closes. However long a figure grows, no more than about two
// pieces are held, and the pixels are those TCanvas::StrokePath draws for
// the same figures (it strokes through this).
#pragma once

#include <vector>

#include "picture/Shapes.h"

namespace corvalin {

class TCanvas;
struct TRaster;

class TStrokeStream {
public:
    // Draws with the pen, inside the canvas's clips as they are at each stroke.
    TStrokeStream(TCanvas& canvas, const TPen& pen);

    // Ends the current figure open and begins one at p.
    void BeginFigure(TPointF p);
    // A line from the last point; begins a figure at p when none is open.
    void LineTo(TPointF p);
    // Ends the current figure closed; nothing when none is open.
    void CloseFigure();
    bool FigureOpen() const { return open_; }
    // Ends the current figure open and strokes whatever is still held.
    void Finish();

private:
    void Append(TPointF p);
    void EndFigure(bool closed);
    void StrokePiece();
    void StrokeGathered();

    TCanvas& canvas_;
    TPen pen_;
    TRaster* raster_;  // null: nothing is drawn
    double width_ = 1, shift_ = 0;
    double reach_ = 1;  // how far the stroke reaches beyond its points
    // The current figure, or the part of it not yet stroked when pieced.
    std::vector<TPointF> figure_;
    TPointF start_[2]{};
    bool open_ = false, pieced_ = false;
    double travelled_ = 0;  // the length stroked before figure_'s first point
    TShapePath gathered_;   // short figures ended, waiting to be stroked together
    size_t gatheredPoints_ = 0;
};

}  // namespace corvalin

// The player's lines, curves, closed shapes and paths. Ellipses are
// flattened in logical units and then mapped, so that any mapping (mirrored,
// rotated, stretched) bends them correctly, with as many pieces as their
// size on the target needs. Bezier curves keep their shape under any such
// mapping and are split on the target: as often as their bend needs to stay
// within a quarter pixel, and not at all where they lie beside the picture.
#include "formats/metafile/MetafilePlayer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "picture/Bitmap.h"

namespace corvalin {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr int kMaxCurvePieces = 4096;
// A path that is filled or clipped to is kept whole until then; this bounds
// what a file can make it hold (16 MB). A path only stroked keeps nothing.
constexpr size_t kMaxPathPoints = size_t(1) << 20;
// How far a flattened Bezier curve may stray from the true one, in pixels;
// halving a curve quarters that distance, and ten halvings reach it for
// any curve whose bend is smaller than a quarter million pixels.
constexpr double kFlatness = 0.25;
constexpr int kMaxBezierDepth = 10;

int Pieces(double targetLength, int fewest)
{
    // Compared as a double: a length out of int's range (a world transform
    // of 1e30) must not be converted.
    if (!(targetLength < 3.0 * kMaxCurvePieces))
        return kMaxCurvePieces;
    return std::max(int(targetLength / 3), fewest);
}

TPointF Mid(TPointF a, TPointF b)
{
    return {(a.x + b.x) / 2, (a.y + b.y) / 2};
}

// The rectangle of the target where a curve can show, widened by the pen.
struct TView {
    double left, top, right, bottom;

    bool Misses(const TPointF (&p)[4]) const
    {
        auto all = [&](auto outside) { return std::all_of(std::begin(p), std::end(p), outside); };
        return all([&](TPointF q) { return q.x < left; }) || all([&](TPointF q) { return q.x > right; }) ||
               all([&](TPointF q) { return q.y < top; }) || all([&](TPointF q) { return q.y > bottom; });
    }
};

// Emits the end points of the pieces of one cubic curve (p[0] excluded).
// A curve whose control points all lie beside the view stays beside it and
// becomes one straight piece; a bend within the flatness becomes one piece.
template <class Emit>
void FlattenCubic(const TPointF (&p)[4], const TView& view, int depth, Emit& emit)
{
    const double bendX = std::max(std::fabs(p[0].x - 2 * p[1].x + p[2].x), std::fabs(p[1].x - 2 * p[2].x + p[3].x));
    const double bendY = std::max(std::fabs(p[0].y - 2 * p[1].y + p[2].y), std::fabs(p[1].y - 2 * p[2].y + p[3].y));
    if (depth >= kMaxBezierDepth || !(0.75 * std::hypot(bendX, bendY) > kFlatness) || view.Misses(p)) {
        emit(p[3]);
        return;
    }
    const TPointF a = Mid(p[0], p[1]), b = Mid(p[1], p[2]), c = Mid(p[2], p[3]);
    const TPointF ab = Mid(a, b), bc = Mid(b, c), middle = Mid(ab, bc);
    FlattenCubic({p[0], a, ab, middle}, view, depth + 1, emit);
    FlattenCubic({middle, bc, c, p[3]}, view, depth + 1, emit);
}

}  // namespace

TPen TMetafilePlayer::TargetPen() const
{
    TPen pen;
    pen.Color = dc_.pen.color;
    pen.Style = dc_.pen.style;
    pen.Cap = dc_.pen.cap;
    pen.Join = dc_.pen.join;
    pen.Width = dc_.pen.cosmetic ? 1 : std::fabs(dc_.pen.width) * ScaleOf(LogicalToTarget());
    return pen;
}

TBrush TMetafilePlayer::TargetBrush() const
{
    return {dc_.brush.color, dc_.brush.clear ? TBrushStyle::bsClear : TBrushStyle::bsSolid};
}

bool TMetafilePlayer::PathTakes(size_t points)
{
    if (points > kMaxPathPoints - pathPoints_)
        return false;
    pathPoints_ += points;
    return true;
}

void TMetafilePlayer::AppendToPath(TShapePath path)
{
    for (TFigure& figure : path) {
        if (!pathStroke_) {
            if (PathTakes(figure.points.size()))
                path_.push_back(std::move(figure));
        } else if (!figure.points.empty()) {
            pathStroke_->BeginFigure(figure.points[0]);
            for (size_t i = 1; i < figure.points.size(); ++i)
                pathStroke_->LineTo(figure.points[i]);
            if (figure.closed)
                pathStroke_->CloseFigure();
        }
    }
}

void TMetafilePlayer::DrawClosed(TShapePath path)
{
    if (pathOpen_) {
        AppendToPath(std::move(path));
        return;
    }
    canvas_.Clips = dc_.clips;
    canvas_.FillPath(path, TargetBrush(), dc_.fillRule);
    canvas_.StrokePath(path, TargetPen());
}

void TMetafilePlayer::DrawOpen(TShapePath path)
{
    if (pathOpen_) {
        AppendToPath(std::move(path));
        return;
    }
    canvas_.Clips = dc_.clips;
    canvas_.StrokePath(path, TargetPen());
}

// Points on the ellipse inside the box a-b, from startAngle through sweep
// (radians, counter-clockwise as the y-down plane shows it).
std::vector<TPointF> TMetafilePlayer::EllipsePoints(TPointF a, TPointF b, double startAngle, double sweep) const
{
    const double cx = (a.x + b.x) / 2, cy = (a.y + b.y) / 2;
    const double rx = std::fabs(b.x - a.x) / 2, ry = std::fabs(b.y - a.y) / 2;
    const double scale = ScaleOf(LogicalToTarget());
    const int pieces = Pieces(std::fabs(sweep) * (rx + ry) * scale / 2, 4);
    std::vector<TPointF> points;
    points.reserve(size_t(pieces) + 1);
    for (int i = 0; i <= pieces; ++i) {
        const double angle = startAngle + sweep * i / pieces;
        points.push_back({cx + rx * std::cos(angle), cy - ry * std::sin(angle)});
    }
    return points;
}

// The arc of the box's ellipse between the rays through start and end,
// drawn counter-clockwise on the target unless the direction was set clockwise.
std::vector<TPointF> TMetafilePlayer::ArcPoints(TPointF a, TPointF b, TPointF start, TPointF end) const
{
    const double cx = (a.x + b.x) / 2, cy = (a.y + b.y) / 2;
    const double rx = std::max(std::fabs(b.x - a.x) / 2, 1e-9), ry = std::max(std::fabs(b.y - a.y) / 2, 1e-9);
    const double from = std::atan2(-(start.y - cy) / ry, (start.x - cx) / rx);
    const double to = std::atan2(-(end.y - cy) / ry, (end.x - cx) / rx);
    const TAffine t = LogicalToTarget();
    const bool mirrored = t.m11 * t.m22 - t.m12 * t.m21 < 0;
    double sweep = to - from;
    if (mirrored != dc_.clockwise) {
        if (sweep >= 0)
            sweep -= kTwoPi;
    } else if (sweep <= 0) {
        sweep += kTwoPi;
    }
    return EllipsePoints(a, b, from, sweep);
}

// Emits the target points of the curves from `from` through each three
// controls (from excluded), as they are found: a record of many curves is
// never held flattened.
template <class Emit>
void TMetafilePlayer::EmitBezierPoints(TPointF from, std::span<const TPointF> controls, Emit emit) const
{
    const TAffine t = LogicalToTarget();
    const TBitmap& picture = canvas_.Owner();
    // A pen wider than the picture covers it wherever it runs; any margin
    // beyond that changes nothing.
    const double limit = 2.0 * (double(picture.Width()) + picture.Height());
    const double margin = std::min(TargetPen().Width, limit) + 2;
    const TView view{-margin, -margin, picture.Width() + margin, picture.Height() + margin};
    TPointF start = t.Apply(from);
    for (size_t i = 0; i + 2 < controls.size(); i += 3) {
        const TPointF curve[4]{start, t.Apply(controls[i]), t.Apply(controls[i + 1]), t.Apply(controls[i + 2])};
        FlattenCubic(curve, view, 0, emit);
        start = curve[3];
    }
}

// A line from `from` (target pixels) through the points produce emits: as a
// new figure of the path or on from its open figure, or, outside a path,
// stroked piece by piece as the points come.
template <class Produce>
void TMetafilePlayer::DrawLine(TPointF from, bool newFigure, Produce produce)
{
    if (!pathOpen_) {
        canvas_.Clips = dc_.clips;
        TStrokeStream stroke(canvas_, TargetPen());
        stroke.BeginFigure(from);
        produce([&](TPointF p) { stroke.LineTo(p); });
        stroke.Finish();
    } else if (pathStroke_) {
        if (newFigure || !pathStroke_->FigureOpen())
            pathStroke_->BeginFigure(from);
        produce([&](TPointF p) { pathStroke_->LineTo(p); });
    } else {
        if (newFigure || path_.empty() || path_.back().closed)
            AppendToPath({{{from}, false}});
        if (!path_.empty())
            produce([&](TPointF p) {
                if (PathTakes(1))
                    path_.back().points.push_back(p);
            });
    }
}

void TMetafilePlayer::MoveTo(TPointF p)
{
    dc_.position = p;
    if (pathOpen_)
        AppendToPath({{{ToTarget(p)}, false}});
}

void TMetafilePlayer::LineTo(TPointF p)
{
    PolylineTo({p});
}

void TMetafilePlayer::PolylineTo(const std::vector<TPointF>& points)
{
    if (points.empty())
        return;
    const std::vector<TPointF> mapped = ToTarget(points);
    DrawLine(ToTarget(dc_.position), false, [&](auto emit) {
        for (TPointF p : mapped)
            emit(p);
    });
    dc_.position = points.back();
}

void TMetafilePlayer::Polyline(const std::vector<TPointF>& points)
{
    if (points.size() >= 2)
        DrawOpen({{ToTarget(points), false}});
}

void TMetafilePlayer::Polylines(const std::vector<std::vector<TPointF>>& polylines)
{
    TShapePath path;
    for (const auto& line : polylines)
        path.push_back({ToTarget(line), false});
    DrawOpen(std::move(path));
}

void TMetafilePlayer::PolyBezier(const std::vector<TPointF>& points)
{
    if (points.size() < 4)
        return;
    DrawLine(ToTarget(points[0]), true,
             [&](auto emit) { EmitBezierPoints(points[0], std::span(points).subspan(1), emit); });
    dc_.position = points.back();
}

void TMetafilePlayer::PolyBezierTo(const std::vector<TPointF>& points)
{
    if (points.size() < 3)
        return;
    DrawLine(ToTarget(dc_.position), false, [&](auto emit) { EmitBezierPoints(dc_.position, points, emit); });
    dc_.position = points[points.size() - 1 - (points.size() % 3)];
}

void TMetafilePlayer::Polygons(const std::vector<std::vector<TPointF>>& polygons)
{
    TShapePath path;
    for (const auto& polygon : polygons)
        if (polygon.size() >= 2)
            path.push_back({ToTarget(polygon), true});
    DrawClosed(std::move(path));
}

void TMetafilePlayer::Rectangle(TPointF a, TPointF b)
{
    DrawClosed({{ToTarget(std::vector<TPointF>{a, {b.x, a.y}, b, {a.x, b.y}}), true}});
}

void TMetafilePlayer::RoundRect(TPointF a, TPointF b, TPointF corner)
{
    const TPointF low{std::min(a.x, b.x), std::min(a.y, b.y)}, high{std::max(a.x, b.x), std::max(a.y, b.y)};
    const double w = std::min(std::fabs(corner.x), high.x - low.x), h = std::min(std::fabs(corner.y), high.y - low.y);
    const double quarter = kTwoPi / 4;
    std::vector<TPointF> outline;
    auto add = [&](double left, double top, double start) {
        const std::vector<TPointF> arc = EllipsePoints({left, top}, {left + w, top + h}, start, quarter);
        outline.insert(outline.end(), arc.begin(), arc.end());
    };
    add(high.x - w, low.y, 0);
    add(low.x, low.y, quarter);
    add(low.x, high.y - h, 2 * quarter);
    add(high.x - w, high.y - h, 3 * quarter);
    DrawClosed({{ToTarget(outline), true}});
}

void TMetafilePlayer::Ellipse(TPointF a, TPointF b)
{
    std::vector<TPointF> outline = EllipsePoints(a, b, 0, kTwoPi);
    outline.pop_back();
    DrawClosed({{ToTarget(outline), true}});
}

void TMetafilePlayer::Arc(TPointF a, TPointF b, TPointF start, TPointF end)
{
    DrawOpen({{ToTarget(ArcPoints(a, b, start, end)), false}});
}

void TMetafilePlayer::Chord(TPointF a, TPointF b, TPointF start, TPointF end)
{
    DrawClosed({{ToTarget(ArcPoints(a, b, start, end)), true}});
}

void TMetafilePlayer::Pie(TPointF a, TPointF b, TPointF start, TPointF end)
{
    std::vector<TPointF> outline = ArcPoints(a, b, start, end);
    outline.push_back({(a.x + b.x) / 2, (a.y + b.y) / 2});
    DrawClosed({{ToTarget(outline), true}});
}

void TMetafilePlayer::FillRegion(uint32_t regionIndex, std::optional<uint32_t> brushIndex)
{
    if (regionIndex >= objects_.size())
        return;
    const auto* region = std::get_if<TLogRegion>(&objects_[regionIndex]);
    if (region == nullptr)
        return;
    TBrush brush = TargetBrush();
    if (brushIndex) {
        const auto* chosen = *brushIndex < objects_.size() ? std::get_if<TLogBrush>(&objects_[*brushIndex]) : nullptr;
        if (chosen == nullptr)
            return;
        brush = {chosen->color, chosen->clear ? TBrushStyle::bsClear : TBrushStyle::bsSolid};
    }
    canvas_.Clips = dc_.clips;
    canvas_.FillPath(RegionPath(*region), brush, TFillRule::frWinding);
}

void TMetafilePlayer::SetPixel(TPointF p, TColor color)
{
    const TPointF at = ToTarget(p);
    const double x = std::floor(at.x), y = std::floor(at.y);
    canvas_.Clips = dc_.clips;
    canvas_.FillPath({{{{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}}, true}}, TBrush{color, TBrushStyle::bsSolid},
                     TFillRule::frWinding);
}

void TMetafilePlayer::ClearPath()
{
    path_.clear();
    pathPoints_ = 0;
    pathStroke_.reset();
}

void TMetafilePlayer::BeginPath(bool strokedAlone)
{
    ClearPath();
    pathOpen_ = true;
    if (strokedAlone) {
        canvas_.Clips = dc_.clips;
        pathStroke_ = std::make_unique<TStrokeStream>(canvas_, TargetPen());
    }
}

void TMetafilePlayer::AbortPath()
{
    ClearPath();
    pathOpen_ = false;
}

void TMetafilePlayer::CloseFigure()
{
    if (pathOpen_ && pathStroke_)
        pathStroke_->CloseFigure();
    else if (pathOpen_ && !path_.empty())
        path_.back().closed = true;
}

void TMetafilePlayer::FillPath()
{
    canvas_.Clips = dc_.clips;
    canvas_.FillPath(path_, TargetBrush(), dc_.fillRule);
    ClearPath();
}

void TMetafilePlayer::StrokePath()
{
    if (pathStroke_)
        pathStroke_->Finish();
    canvas_.Clips = dc_.clips;
    canvas_.StrokePath(path_, TargetPen());
    ClearPath();
}

void TMetafilePlayer::StrokeAndFillPath()
{
    canvas_.Clips = dc_.clips;
    canvas_.FillPath(path_, TargetBrush(), dc_.fillRule);
    canvas_.StrokePath(path_, TargetPen());
    ClearPath();
}

void TMetafilePlayer::SelectClipPath(uint32_t mode)
{
    constexpr uint32_t rgnAnd = 1;
    if (mode != rgnAnd)
        dc_.clips.clear();
    AddClip({std::move(path_), dc_.fillRule});
    ClearPath();
}

}  // namespace corvalin

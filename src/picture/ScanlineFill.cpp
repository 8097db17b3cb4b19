#include "picture/ScanlineFill.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace corvalin {

namespace {

// Beyond this distance from the picture a point moves nothing visible, and
// rows and columns stay far inside int.
constexpr double kCoordinateLimit = double(1 << 21);

TPointF Tamed(TPointF p)
{
    auto tame = [](double v) { return std::isfinite(v) ? std::clamp(v, -kCoordinateLimit, kCoordinateLimit) : 0.0; };
    return {tame(p.x), tame(p.y)};
}

// The first pixel whose centre lies at or right of (or below) v: the
// ceiling of v - 0.5, found by truncation (exact for tamed coordinates),
// as a crossing costs little more than this.
int FirstCentreFrom(double v)
{
    const double from = v - 0.5;
    const int truncated = int(from);
    return double(truncated) < from ? truncated + 1 : truncated;
}

}  // namespace

TScanlineFill::TScanlineFill(const TShapePath& path, TFillRule rule, int width, int height)
    : rule_(rule), width_(width), height_(height)
{
    for (const TFigure& figure : path) {
        const std::vector<TPointF>& points = figure.points;
        for (size_t i = 0; i < points.size(); ++i)
            AddEdge(Tamed(points[i]), Tamed(points[(i + 1) % points.size()]));
    }
    std::sort(edges_.begin(), edges_.end(), [](const TEdge& a, const TEdge& b) { return a.firstRow < b.firstRow; });
    top_ = height_;
    bottom_ = 0;
    for (const TEdge& edge : edges_) {
        top_ = std::min(top_, edge.firstRow);
        bottom_ = std::max(bottom_, edge.endRow);
    }
    if (top_ >= bottom_)
        top_ = bottom_ = 0;
}

void TScanlineFill::AddEdge(TPointF a, TPointF b)
{
    if (a.y == b.y)
        return;
    const int direction = b.y > a.y ? 1 : -1;
    if (direction < 0)
        std::swap(a, b);
    // Row y is crossed where the edge passes its centre y + 0.5, the top end
    // included and the bottom one not, so that joined edges count once.
    const int first = std::max(FirstCentreFrom(a.y), 0), end = std::min(FirstCentreFrom(b.y), height_);
    if (first >= end)
        return;
    edges_.push_back({a.x, a.y, (b.x - a.x) / (b.y - a.y), first, end, direction});
}

// A crossing left of pixel i's centre changes whether pixel i and every one
// after it lies inside; crossings between the same two centres count the
// same in any order. So the crossings of a row are tallied per pixel rather
// than sorted, and one walk over the pixels between the first and the last
// tally finds the spans: the row costs its crossings plus its width at most.
// The active edges are kept by value in any order, an edge that has ended
// taking the place of the last one, so that a crossing reads one edge.
const std::vector<TSpan>& TScanlineFill::Row(int y)
{
    spans_.clear();
    while (nextEdge_ < edges_.size() && edges_[nextEdge_].firstRow <= y)
        active_.push_back(edges_[nextEdge_++]);
    if (active_.empty())
        return spans_;
    tallies_.resize(size_t(width_) + 1, 0);
    const bool alternate = rule_ == TFillRule::frAlternate;
    const double centre = y + 0.5;
    int first = width_, last = 0;
    for (size_t i = 0; i < active_.size();) {
        const TEdge& edge = active_[i];
        if (edge.endRow <= y) {
            active_[i] = active_.back();
            active_.pop_back();
            continue;
        }
        const int pixel = std::clamp(FirstCentreFrom(edge.x0 + (centre - edge.y0) * edge.slope), 0, width_);
        tallies_[size_t(pixel)] += alternate ? 1 : edge.direction;
        first = std::min(first, pixel);
        last = std::max(last, pixel);
        ++i;
    }
    // Every figure is closed, so all crossings together leave the winding
    // at 0: no pixel from the last tally on lies inside.
    int winding = 0;
    for (int x = first; x <= last; ++x) {
        winding += std::exchange(tallies_[size_t(x)], 0);
        const bool inside = alternate ? (winding & 1) != 0 : winding != 0;
        if (!inside || x == width_)
            continue;
        if (!spans_.empty() && spans_.back().right == x)
            spans_.back().right = x + 1;
        else
            spans_.push_back({x, x + 1});
    }
    return spans_;
}

std::vector<TSpan> IntersectSpans(const std::vector<TSpan>& spans, const std::vector<TSpan>& others)
{
    std::vector<TSpan> out;
    size_t i = 0, j = 0;
    while (i < spans.size() && j < others.size()) {
        const int left = std::max(spans[i].left, others[j].left);
        const int right = std::min(spans[i].right, others[j].right);
        if (left < right)
            out.push_back({left, right});
        if (spans[i].right < others[j].right)
            ++i;
        else
            ++j;
    }
    return out;
}

}  // namespace corvalin

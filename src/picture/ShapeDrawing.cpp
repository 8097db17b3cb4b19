// The canvas's shape and scaled-raster drawing. Fills are found row by row
// (ScanlineFill.h); strokes and scaled rasters are done by Cairo. Cairo draws
// straight into device-format rasters, whose rows (blue, green, red, unused)
// are its RGB24 layout; other rasters are drawn through a device-format copy
// of the rows a drawing touches. Anti-aliasing is off, as the drawing
// interface that metafiles were made for never blended edges.
#include "picture/Canvas.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include <cairo.h>

#include "common/Exceptions.h"
#include "picture/Bitmap.h"
#include "picture/RowCodec.h"
#include "picture/ScanlineFill.h"
#include "picture/StrokeStream.h"

namespace corvalin {

namespace {

// Cairo keeps coordinates in 24.8 fixed point; farther points only cost
// precision, so they are pulled in to where nothing visible changes.
constexpr double kCoordinateLimit = double(1 << 21);

double Tame(double value)
{
    if (!std::isfinite(value))
        return 0;
    return std::clamp(value, -kCoordinateLimit, kCoordinateLimit);
}

struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using CairoContext = std::unique_ptr<cairo_t, CairoDeleter>;
using CairoSurface = std::unique_ptr<cairo_surface_t, CairoDeleter>;

void CheckStatus(cairo_status_t status)
{
    if (status != CAIRO_STATUS_SUCCESS)
        throw EOutOfResources(msg::OutOfResources);
}

bool IsDeviceRaster(const TRaster& raster)
{
    return raster.format == TPixelFormat::pfDevice && raster.bitsPerPixel == 32;
}

// A surface over rows of a device-format raster; Cairo never owns the pixels.
CairoSurface SurfaceOver(TRaster& raster, int firstRow, int rows)
{
    if (cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, raster.width) != int(raster.stride))
        throw EOutOfResources(msg::OutOfResources);
    CairoSurface surface(cairo_image_surface_create_for_data(raster.Row(firstRow), CAIRO_FORMAT_RGB24,
                                                             raster.width, rows, int(raster.stride)));
    CheckStatus(cairo_surface_status(surface.get()));
    return surface;
}

void CopyRowsToDevice(const TRaster& from, int firstRow, TRaster& to)
{
    std::vector<uint8_t> bgr(size_t(from.width) * 3);
    for (int y = 0; y < to.height; ++y) {
        const uint8_t* row = RowAsBgr(from, firstRow + y, bgr.data());
        uint8_t* out = to.Row(y);
        for (int x = 0; x < from.width; ++x) {
            out[4 * x] = row[3 * x];
            out[4 * x + 1] = row[3 * x + 1];
            out[4 * x + 2] = row[3 * x + 2];
            out[4 * x + 3] = 0;
        }
    }
}

void CopyRowsFromDevice(const TRaster& from, TRaster& to, int firstRow)
{
    std::vector<uint8_t> bgr(size_t(to.width) * 3);
    for (int y = 0; y < from.height; ++y) {
        const uint8_t* in = from.Row(y);
        for (int x = 0; x < to.width; ++x) {
            bgr[3 * x] = in[4 * x];
            bgr[3 * x + 1] = in[4 * x + 1];
            bgr[3 * x + 2] = in[4 * x + 2];
        }
        EncodeRowFromBgr(to, firstRow + y, bgr.data());
    }
}

void AddPath(cairo_t* cr, const TShapePath& path, double shift)
{
    for (const TFigure& figure : path) {
        if (figure.points.empty())
            continue;
        cairo_move_to(cr, Tame(figure.points[0].x) + shift, Tame(figure.points[0].y) + shift);
        for (size_t i = 1; i < figure.points.size(); ++i)
            cairo_line_to(cr, Tame(figure.points[i].x) + shift, Tame(figure.points[i].y) + shift);
        if (figure.closed)
            cairo_close_path(cr);
    }
}

void SetFillRule(cairo_t* cr, TFillRule rule)
{
    cairo_set_fill_rule(cr, rule == TFillRule::frAlternate ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
}

void SetColor(cairo_t* cr, TColor color)
{
    cairo_set_source_rgb(cr, RedOf(color) / 255.0, GreenOf(color) / 255.0, BlueOf(color) / 255.0);
}

void ApplyClips(cairo_t* cr, const std::vector<TClip>& clips)
{
    for (const TClip& clip : clips) {
        AddPath(cr, clip.path, 0);
        SetFillRule(cr, clip.rule);
        cairo_clip(cr);
    }
}

// Rows [top, bottom) of the picture that a drawing can touch.
struct RowBand {
    int top = 0;
    int bottom = 0;
};

RowBand BandOf(const TShapePath& path, double margin, int height)
{
    double low = kCoordinateLimit, high = -kCoordinateLimit;
    for (const TFigure& figure : path)
        for (const TPointF& p : figure.points) {
            low = std::min(low, Tame(p.y));
            high = std::max(high, Tame(p.y));
        }
    if (low > high)
        return {};
    return {int(std::clamp(std::floor(low - margin) - 1, 0.0, double(height))),
            int(std::clamp(std::ceil(high + margin) + 2, 0.0, double(height)))};
}

// Runs draw on a Cairo context over the band of the raster, clipped.
template <class Draw>
void DrawOnRaster(TRaster& raster, RowBand band, const std::vector<TClip>& clips, Draw draw)
{
    if (band.top >= band.bottom)
        return;
    const int rows = band.bottom - band.top;
    std::shared_ptr<TRaster> scratch;
    TRaster* target = &raster;
    int firstRow = band.top;
    if (!IsDeviceRaster(raster)) {
        scratch = TRaster::Create(raster.width, rows, TPixelFormat::pfDevice, 32);
        CopyRowsToDevice(raster, band.top, *scratch);
        target = scratch.get();
        firstRow = 0;
    }
    {
        CairoSurface surface = SurfaceOver(*target, firstRow, rows);
        CairoContext cr(cairo_create(surface.get()));
        CheckStatus(cairo_status(cr.get()));
        cairo_translate(cr.get(), 0, -band.top);
        cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
        ApplyClips(cr.get(), clips);
        draw(cr.get());
        CheckStatus(cairo_status(cr.get()));
        cairo_surface_flush(surface.get());
    }
    if (scratch)
        CopyRowsFromDevice(*scratch, raster, band.top);
}

void SetPen(cairo_t* cr, const TPen& pen, double width)
{
    SetColor(cr, pen.Color);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, pen.Cap == TLineCap::lcRound    ? CAIRO_LINE_CAP_ROUND
                           : pen.Cap == TLineCap::lcSquare ? CAIRO_LINE_CAP_SQUARE
                                                           : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, pen.Join == TLineJoin::ljRound   ? CAIRO_LINE_JOIN_ROUND
                            : pen.Join == TLineJoin::ljBevel ? CAIRO_LINE_JOIN_BEVEL
                                                             : CAIRO_LINE_JOIN_MITER);
    // The dash patterns of thin pens, stretched with the pen's width.
    std::vector<double> dashes;
    switch (pen.Style) {
    case TPenStyle::psDash: dashes = {18, 6}; break;
    case TPenStyle::psDot: dashes = {3, 3}; break;
    case TPenStyle::psDashDot: dashes = {9, 6, 3, 6}; break;
    case TPenStyle::psDashDotDot: dashes = {9, 3, 3, 3, 3, 3}; break;
    default: break;
    }
    for (double& d : dashes)
        d *= width;
    cairo_set_dash(cr, dashes.data(), int(dashes.size()), 0);
}

// Cairo's stroke of one figure grows with the square of its segments where
// the figure crosses itself often: a long figure is stroked a piece of this
// many segments at a time. Shorter pieces stroke faster but join at other
// places, which changes the pixels of drawings converted before.
constexpr size_t kStrokePiece = 1024;

void SetDashOffset(cairo_t* cr, double offset)
{
    const int count = cairo_get_dash_count(cr);
    if (count == 0)
        return;
    std::vector<double> dashes(size_t(count), 0);
    cairo_get_dash(cr, dashes.data(), nullptr);
    cairo_set_dash(cr, dashes.data(), count, offset);
}

// A device-format copy of part of a raster, for Cairo to sample.
std::shared_ptr<TRaster> DevicePart(const TRaster& source, const TRect& part)
{
    auto copy = TRaster::Create(part.Width(), part.Height(), TPixelFormat::pfDevice, 32);
    std::vector<uint8_t> bgr(size_t(source.width) * 3);
    for (int y = 0; y < copy->height; ++y) {
        const uint8_t* row = RowAsBgr(source, part.top + y, bgr.data()) + size_t(part.left) * 3;
        uint8_t* out = copy->Row(y);
        for (int x = 0; x < copy->width; ++x) {
            out[4 * x] = row[3 * x];
            out[4 * x + 1] = row[3 * x + 1];
            out[4 * x + 2] = row[3 * x + 2];
        }
    }
    return copy;
}

// Paints spans of rows in one colour: device rows as Cairo would (blue,
// green, red, 0xFF), 24-bit rows in place, others through BGR triples.
class TRowPainter {
public:
    TRowPainter(TRaster& raster, TColor color)
        : raster_(raster), blue_(BlueOf(color)), green_(GreenOf(color)), red_(RedOf(color))
    {
    }

    void Paint(int y, const std::vector<TSpan>& spans)
    {
        if (spans.empty())
            return;
        const bool device = IsDeviceRaster(raster_), direct = device || raster_.format == TPixelFormat::pf24bit;
        uint8_t* row = raster_.Row(y);
        if (!direct) {
            bgr_.resize(size_t(raster_.width) * 3);
            DecodeRowToBgr(raster_, y, bgr_.data());
            row = bgr_.data();
        }
        const size_t step = device ? 4 : 3;
        for (const TSpan& span : spans)
            for (int x = span.left; x < span.right; ++x) {
                uint8_t* p = row + size_t(x) * step;
                p[0] = blue_;
                p[1] = green_;
                p[2] = red_;
                if (device)
                    p[3] = 0xFF;
            }
        if (!direct)
            EncodeRowFromBgr(raster_, y, bgr_.data());
    }

private:
    TRaster& raster_;
    uint8_t blue_, green_, red_;
    std::vector<uint8_t> bgr_;
};

}  // namespace

// Fills go through the scanline fill rather than Cairo, whose tessellation
// grows with the square of the edges where an outline crosses itself often.
void TCanvas::FillPath(const TShapePath& path, const TBrush& brush, TFillRule rule)
{
    TRaster* raster = DrawableRaster();
    if (raster == nullptr || brush.Style == TBrushStyle::bsClear)
        return;
    TScanlineFill fill(path, rule, raster->width, raster->height);
    std::vector<TScanlineFill> clips;
    int top = fill.Top(), bottom = fill.Bottom();
    for (const TClip& clip : Clips) {
        clips.emplace_back(clip.path, clip.rule, raster->width, raster->height);
        top = std::max(top, clips.back().Top());
        bottom = std::min(bottom, clips.back().Bottom());
    }
    TRowPainter painter(*raster, brush.Color);
    for (int y = top; y < bottom; ++y) {
        std::vector<TSpan> spans = fill.Row(y);
        for (TScanlineFill& clip : clips)
            spans = IntersectSpans(spans, clip.Row(y));
        painter.Paint(y, spans);
    }
}

void TCanvas::StrokePath(const TShapePath& path, const TPen& pen)
{
    TStrokeStream stroke(*this, pen);
    for (const TFigure& figure : path) {
        if (figure.points.empty())
            continue;
        stroke.BeginFigure(figure.points[0]);
        for (size_t i = 1; i < figure.points.size(); ++i)
            stroke.LineTo(figure.points[i]);
        if (figure.closed)
            stroke.CloseFigure();
    }
    stroke.Finish();
}

TStrokeStream::TStrokeStream(TCanvas& canvas, const TPen& pen)
    : canvas_(canvas), pen_(pen), raster_(canvas.DrawableRaster())
{
    if (raster_ == nullptr || pen.Style == TPenStyle::psClear) {
        raster_ = nullptr;
        return;
    }
    // Pens wider than the picture look the same as one that covers it.
    const double limit = 2.0 * (double(raster_->width) + raster_->height);
    width_ = std::clamp(std::round(Tame(pen.Width)), 1.0, limit);
    // An odd width centred on pixel centres covers whole pixels.
    shift_ = std::fmod(width_, 2.0) == 1.0 ? 0.5 : 0.0;
    // A mitred join reaches out up to Cairo's miter limit (10) times half the width.
    reach_ = pen.Join == TLineJoin::ljMiter ? 5 * width_ : width_;
}

void TStrokeStream::BeginFigure(TPointF p)
{
    if (raster_ == nullptr)
        return;
    EndFigure(false);
    open_ = true;
    pieced_ = false;
    travelled_ = 0;
    figure_.assign(1, {Tame(p.x), Tame(p.y)});
}

void TStrokeStream::LineTo(TPointF p)
{
    if (raster_ == nullptr)
        return;
    if (!open_)
        BeginFigure(p);
    else
        Append({Tame(p.x), Tame(p.y)});
}

void TStrokeStream::Append(TPointF p)
{
    figure_.push_back(p);
    if (!pieced_ && figure_.size() == 2) {
        start_[0] = figure_[0];
        start_[1] = figure_[1];
    }
    if (figure_.size() == kStrokePiece + 1)
        StrokePiece();
}

void TStrokeStream::CloseFigure()
{
    EndFigure(true);
}

void TStrokeStream::Finish()
{
    EndFigure(false);
    StrokeGathered();
}

void TStrokeStream::EndFigure(bool closed)
{
    if (!open_)
        return;
    open_ = false;
    if (!pieced_) {
        gatheredPoints_ += figure_.size();
        gathered_.push_back({std::move(figure_), closed});
        figure_.clear();
        if (gatheredPoints_ >= kStrokePiece)
            StrokeGathered();
        return;
    }
    // A long figure closes through its first segment again, so that the
    // join at its start is drawn; the last piece ends it.
    if (closed) {
        Append(start_[0]);
        Append(start_[1]);
    }
    StrokePiece();
}

void TStrokeStream::StrokePiece()
{
    DrawOnRaster(*raster_, BandOf({{figure_, false}}, reach_, raster_->height), canvas_.Clips, [&](cairo_t* cr) {
        SetPen(cr, pen_, width_);
        SetDashOffset(cr, travelled_);
        cairo_move_to(cr, figure_[0].x + shift_, figure_[0].y + shift_);
        for (size_t i = 1; i < figure_.size(); ++i)
            cairo_line_to(cr, figure_[i].x + shift_, figure_[i].y + shift_);
        cairo_stroke(cr);
    });
    pieced_ = true;
    // The next piece begins with this one's last segment.
    for (size_t i = 1; i + 1 < figure_.size(); ++i)
        travelled_ += std::hypot(figure_[i].x - figure_[i - 1].x, figure_[i].y - figure_[i - 1].y);
    figure_.erase(figure_.begin(), figure_.end() - 2);
}

void TStrokeStream::StrokeGathered()
{
    if (gathered_.empty())
        return;
    DrawOnRaster(*raster_, BandOf(gathered_, reach_, raster_->height), canvas_.Clips, [&](cairo_t* cr) {
        SetPen(cr, pen_, width_);
        AddPath(cr, gathered_, shift_);
        cairo_stroke(cr);
    });
    gathered_.clear();
    gatheredPoints_ = 0;
}

void TCanvas::DrawRasterPart(const TRaster& source, const TRect& part, TPointF corner, TPointF oppositeCorner)
{
    TRaster* raster = DrawableRaster();
    const TRect clamped{std::clamp(part.left, 0, source.width), std::clamp(part.top, 0, source.height),
                        std::clamp(part.right, 0, source.width), std::clamp(part.bottom, 0, source.height)};
    if (raster == nullptr || clamped.Width() <= 0 || clamped.Height() <= 0)
        return;
    const TPointF a{Tame(corner.x), Tame(corner.y)};
    const TPointF b{Tame(oppositeCorner.x), Tame(oppositeCorner.y)};
    const double scaleX = (b.x - a.x) / clamped.Width();
    const double scaleY = (b.y - a.y) / clamped.Height();
    if (scaleX == 0 || scaleY == 0)
        return;
    const TShapePath outline{{{a, {b.x, a.y}, b, {a.x, b.y}}, true}};
    const RowBand band = BandOf(outline, 0, raster->height);
    if (band.top >= band.bottom)
        return;
    const std::shared_ptr<TRaster> pixels = DevicePart(source, clamped);
    CairoSurface image = SurfaceOver(*pixels, 0, pixels->height);
    DrawOnRaster(*raster, band, Clips, [&](cairo_t* cr) {
        cairo_translate(cr, a.x, a.y);
        cairo_scale(cr, scaleX, scaleY);
        cairo_set_source_surface(cr, image.get(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_rectangle(cr, 0, 0, clamped.Width(), clamped.Height());
        cairo_fill(cr);
    });
}

}  // namespace corvalin

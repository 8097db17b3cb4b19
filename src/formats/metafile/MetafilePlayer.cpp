// The player's mapping, device-context stack, object table and clipping.
#include "formats/metafile/MetafilePlayer.h"

#include <algorithm>
#include <cmath>

#include "common/Limits.h"

namespace corvalin {

namespace {

// Deeper stacks and longer clip lists come only from broken files; they
// would make every later drawing slower without changing what it shows.
constexpr size_t kMaxSavedContexts = 1024;
constexpr size_t kMaxClips = 64;
constexpr size_t kMaxObjects = 65535;
constexpr double kFarAway = double(1 << 21);

enum : uint32_t { rgnAnd = 1, rgnOr = 2, rgnXor = 3, rgnDiff = 4, rgnCopy = 5 };
enum : uint32_t { mwtIdentity = 1, mwtLeftMultiply = 2, mwtRightMultiply = 3, mwtSet = 4 };

TShapePath RectanglePath(TPointF a, TPointF b, TPointF c, TPointF d)
{
    return {TFigure{{a, b, c, d}, true}};
}

int64_t BytesOf(const TMetaObject& object)
{
    int64_t bytes = sizeof(TMetaObject);
    if (const auto* font = std::get_if<TLogFont>(&object))
        bytes += int64_t(font->face.capacity());
    if (const auto* region = std::get_if<TLogRegion>(&object))
        bytes += int64_t(region->corners.capacity() * sizeof(TPointF));
    return bytes;
}

}  // namespace

TAffine TAffine::Then(const TAffine& n) const
{
    return {n.m11 * m11 + n.m21 * m12, n.m12 * m11 + n.m22 * m12,
            n.m11 * m21 + n.m21 * m22, n.m12 * m21 + n.m22 * m22,
            n.m11 * dx + n.m21 * dy + n.dx, n.m12 * dx + n.m22 * dy + n.dy};
}

TMetafilePlayer::TMetafilePlayer(TCanvas& canvas, const TAffine& toTarget, uint32_t objectCount)
    : canvas_(canvas), toTarget_(toTarget), objects_(std::min<size_t>(objectCount, kMaxObjects))
{
}

void TMetafilePlayer::SetDeviceResolution(double pixelsPerMillimetreX, double pixelsPerMillimetreY)
{
    pixelsPerMmX_ = pixelsPerMillimetreX;
    pixelsPerMmY_ = pixelsPerMillimetreY;
}

TAffine TMetafilePlayer::LogicalToTarget() const
{
    double sx = 1, sy = 1;
    auto fixed = [&](double millimetres) {
        sx = millimetres * pixelsPerMmX_;
        sy = -millimetres * pixelsPerMmY_;  // the fixed modes count y upwards
    };
    switch (dc_.mapMode) {
    case mmLoMetric: fixed(0.1); break;
    case mmHiMetric: fixed(0.01); break;
    case mmLoEnglish: fixed(0.254); break;
    case mmHiEnglish: fixed(0.0254); break;
    case mmTwips: fixed(25.4 / 1440); break;
    case mmIsotropic:
    case mmAnisotropic:
        sx = dc_.viewportExt.x / dc_.windowExt.x;
        sy = dc_.viewportExt.y / dc_.windowExt.y;
        if (dc_.mapMode == mmIsotropic) {
            const double uniform = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(uniform, sx);
            sy = std::copysign(uniform, sy);
        }
        break;
    default: break;
    }
    const TAffine page{sx, 0, 0, sy, dc_.viewportOrg.x - dc_.windowOrg.x * sx,
                       dc_.viewportOrg.y - dc_.windowOrg.y * sy};
    return dc_.world.Then(page).Then(toTarget_);
}

TPointF TMetafilePlayer::ToTarget(TPointF p) const
{
    return LogicalToTarget().Apply(p);
}

std::vector<TPointF> TMetafilePlayer::ToTarget(const std::vector<TPointF>& points) const
{
    const TAffine transform = LogicalToTarget();
    std::vector<TPointF> out;
    out.reserve(points.size());
    for (TPointF p : points)
        out.push_back(transform.Apply(p));
    return out;
}

double TMetafilePlayer::ScaleOf(const TAffine& t) const
{
    return std::sqrt(std::fabs(t.m11 * t.m22 - t.m12 * t.m21));
}

void TMetafilePlayer::SetMapMode(int mode)
{
    if (mode >= mmText && mode <= mmAnisotropic)
        dc_.mapMode = mode;
}

void TMetafilePlayer::SetWindowOrg(TPointF origin) { dc_.windowOrg = origin; }
void TMetafilePlayer::SetViewportOrg(TPointF origin) { dc_.viewportOrg = origin; }
void TMetafilePlayer::OffsetWindowOrg(TPointF d) { dc_.windowOrg = {dc_.windowOrg.x + d.x, dc_.windowOrg.y + d.y}; }
void TMetafilePlayer::OffsetViewportOrg(TPointF d)
{
    dc_.viewportOrg = {dc_.viewportOrg.x + d.x, dc_.viewportOrg.y + d.y};
}

// Extents of 0 would divide by zero; the drawing interface refuses them too.
void TMetafilePlayer::SetWindowExt(TPointF extent)
{
    if (extent.x != 0 && extent.y != 0)
        dc_.windowExt = extent;
}

void TMetafilePlayer::SetViewportExt(TPointF extent)
{
    if (extent.x != 0 && extent.y != 0)
        dc_.viewportExt = extent;
}

void TMetafilePlayer::ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom != 0 && yDenom != 0)
        SetWindowExt({dc_.windowExt.x * xNum / xDenom, dc_.windowExt.y * yNum / yDenom});
}

void TMetafilePlayer::ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom != 0 && yDenom != 0)
        SetViewportExt({dc_.viewportExt.x * xNum / xDenom, dc_.viewportExt.y * yNum / yDenom});
}

void TMetafilePlayer::SetWorldTransform(const TAffine& transform)
{
    if (std::isfinite(transform.m11 + transform.m12 + transform.m21 + transform.m22 + transform.dx + transform.dy))
        dc_.world = transform;
}

void TMetafilePlayer::ModifyWorldTransform(const TAffine& transform, uint32_t mode)
{
    switch (mode) {
    case mwtIdentity: dc_.world = TAffine{}; break;
    case mwtLeftMultiply: SetWorldTransform(transform.Then(dc_.world)); break;
    case mwtRightMultiply: SetWorldTransform(dc_.world.Then(transform)); break;
    case mwtSet: SetWorldTransform(transform); break;
    default: break;
    }
}

void TMetafilePlayer::SaveDC()
{
    if (saved_.size() < kMaxSavedContexts)
        saved_.push_back(dc_);
}

// Negative: that many levels back; positive: the level that SaveDC numbered.
void TMetafilePlayer::RestoreDC(int32_t which)
{
    const int64_t level = which < 0 ? int64_t(saved_.size()) + which : int64_t(which) - 1;
    if (level < 0 || level >= int64_t(saved_.size()))
        return;
    dc_ = saved_[size_t(level)];
    saved_.resize(size_t(level));
}

void TMetafilePlayer::ChargeObject(const TMetaObject& object, int sign)
{
    objectBytes_ += sign * BytesOf(object);
}

void TMetafilePlayer::CreateObject(int64_t slot, TMetaObject object)
{
    if (objectBytes_ + BytesOf(object) > kMaxSideDataBytes)
        return;
    if (slot < 0) {
        auto free = std::find_if(objects_.begin(), objects_.end(),
                                 [](const TMetaObject& o) { return std::holds_alternative<std::monostate>(o); });
        if (free == objects_.end()) {
            // Some writers count their objects short; the table grows as far as an index reaches.
            if (objects_.size() >= kMaxObjects)
                return;
            free = objects_.emplace(objects_.end());
        }
        slot = free - objects_.begin();
    }
    if (slot >= int64_t(objects_.size()))
        return;
    ChargeObject(objects_[size_t(slot)], -1);
    ChargeObject(object, +1);
    objects_[size_t(slot)] = std::move(object);
}

void TMetafilePlayer::SelectObject(uint32_t index)
{
    if (index & 0x80000000u) {
        SelectStockObject(index & 0x7FFFFFFFu);
        return;
    }
    if (index >= objects_.size())
        return;
    const TMetaObject& object = objects_[index];
    if (const auto* pen = std::get_if<TLogPen>(&object))
        dc_.pen = *pen;
    else if (const auto* brush = std::get_if<TLogBrush>(&object))
        dc_.brush = *brush;
    else if (const auto* font = std::get_if<TLogFont>(&object))
        dc_.font = *font;
    else if (std::holds_alternative<TLogRegion>(object))
        SelectClipRegion(index);
}

void TMetafilePlayer::SelectStockObject(uint32_t stock)
{
    switch (stock) {
    case 0: dc_.brush = {false, clWhite}; break;
    case 1: dc_.brush = {false, RGB(192, 192, 192)}; break;
    case 2: dc_.brush = {false, RGB(128, 128, 128)}; break;
    case 3: dc_.brush = {false, RGB(64, 64, 64)}; break;
    case 4: dc_.brush = {false, clBlack}; break;
    case 5: dc_.brush = {true, clWhite}; break;
    case 6: dc_.pen = {TPenStyle::psSolid, 0, true, clWhite}; break;
    case 7: dc_.pen = {TPenStyle::psSolid, 0, true, clBlack}; break;
    case 8: dc_.pen = {TPenStyle::psClear, 0, true, clBlack}; break;
    case 10: case 11: case 12: case 13: case 14: case 16: case 17: dc_.font = TLogFont{}; break;
    default: break;
    }
}

void TMetafilePlayer::DeleteObject(uint32_t index)
{
    if (index >= objects_.size())
        return;
    ChargeObject(objects_[index], -1);
    objects_[index] = std::monostate{};
}

void TMetafilePlayer::AddClip(TClip clip)
{
    if (dc_.clips.size() < kMaxClips)
        dc_.clips.push_back(std::move(clip));
}

void TMetafilePlayer::IntersectClipRect(TPointF a, TPointF b)
{
    AddClip({RectanglePath(ToTarget(a), ToTarget({b.x, a.y}), ToTarget(b), ToTarget({a.x, b.y})),
             TFillRule::frWinding});
}

void TMetafilePlayer::ExcludeClipRect(TPointF a, TPointF b)
{
    TShapePath path = RectanglePath({-kFarAway, -kFarAway}, {kFarAway, -kFarAway}, {kFarAway, kFarAway},
                                    {-kFarAway, kFarAway});
    path.push_back(RectanglePath(ToTarget(a), ToTarget({b.x, a.y}), ToTarget(b), ToTarget({a.x, b.y}))[0]);
    AddClip({std::move(path), TFillRule::frAlternate});
}

TShapePath TMetafilePlayer::RegionPath(const TLogRegion& region) const
{
    TShapePath path;
    for (size_t i = 0; i + 1 < region.corners.size(); i += 2) {
        const TPointF a = region.corners[i], b = region.corners[i + 1];
        path.push_back(RectanglePath(ToTarget(a), ToTarget({b.x, a.y}), ToTarget(b), ToTarget({a.x, b.y}))[0]);
    }
    return path;
}

void TMetafilePlayer::SelectClipRegion(uint32_t index)
{
    dc_.clips.clear();
    if (index < objects_.size())
        if (const auto* region = std::get_if<TLogRegion>(&objects_[index]))
            AddClip({RegionPath(*region), TFillRule::frWinding});
}

// Rectangles of an enhanced metafile's clip region are in device units,
// untouched by the logical mapping.
void TMetafilePlayer::SelectClipRectangles(const std::vector<TPointF>& corners, uint32_t mode, bool deviceUnits)
{
    TShapePath path;
    for (size_t i = 0; i + 1 < corners.size(); i += 2) {
        const TPointF a = corners[i], b = corners[i + 1];
        const std::vector<TPointF> quad{a, {b.x, a.y}, b, {a.x, b.y}};
        std::vector<TPointF> mapped;
        for (TPointF p : quad)
            mapped.push_back(deviceUnits ? toTarget_.Apply(p) : ToTarget(p));
        path.push_back({std::move(mapped), true});
    }
    if (mode == rgnAnd) {
        AddClip({std::move(path), TFillRule::frWinding});
    } else if (mode == rgnDiff) {
        path.insert(path.begin(), RectanglePath({-kFarAway, -kFarAway}, {kFarAway, -kFarAway},
                                                {kFarAway, kFarAway}, {-kFarAway, kFarAway})[0]);
        AddClip({std::move(path), TFillRule::frAlternate});
    } else {
        // Copy, and union or exclusive-or taken as the new region alone.
        dc_.clips.clear();
        if (!path.empty())
            AddClip({std::move(path), TFillRule::frWinding});
    }
}

}  // namespace corvalin

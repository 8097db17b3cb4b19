// The device context that metafile records are played on: the mapping from
// logical units to the target's pixels, the object table, the selected pen,
// brush and font, and the drawing of shapes, text and bitmaps onto a canvas.
// The Windows and the enhanced record readers both drive it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "picture/Canvas.h"
#include "picture/Shapes.h"
#include "picture/StrokeStream.h"

namespace corvalin {

class TBitmap;

// Mapping modes as the records number them.
enum : int { mmText = 1, mmLoMetric, mmHiMetric, mmLoEnglish, mmHiEnglish, mmTwips, mmIsotropic, mmAnisotropic };

struct TLogPen {
    TPenStyle style = TPenStyle::psSolid;
    double width = 0;  // logical units; 0 draws one pixel
    bool cosmetic = false;
    TColor color = clBlack;
    TLineCap cap = TLineCap::lcRound;
    TLineJoin join = TLineJoin::ljRound;
};

struct TLogBrush {
    bool clear = false;
    TColor color = clWhite;
};

struct TLogFont {
    int32_t height = 0;  // logical units; negative: em size, positive: cell height
    int32_t weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    uint8_t charset = 0;
    std::string face;
};

// A region: rectangles in logical units, drawn or clipped to as their union.
struct TLogRegion {
    std::vector<TPointF> corners;  // pairs of top-left and bottom-right corners
};

// An object that only takes up its slot (a palette, a device-dependent bitmap).
struct TSlotHolder {};

using TMetaObject = std::variant<std::monostate, TSlotHolder, TLogPen, TLogBrush, TLogFont, TLogRegion>;

struct TAffine {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
    TPointF Apply(TPointF p) const { return {m11 * p.x + m21 * p.y + dx, m12 * p.x + m22 * p.y + dy}; }
    // This transform followed by next.
    TAffine Then(const TAffine& next) const;
};

enum TTextAlign : uint32_t { taUpdateCP = 1, taRight = 2, taCenter = 6, taBottom = 8, taBaseline = 24 };
enum TRasterOp : uint32_t { ropBlackness = 0x00000042, ropPatCopy = 0x00F00021, ropWhiteness = 0x00FF0062 };

// Text to draw: one UTF-8 piece per character and, when the record gives
// them, the logical distances from one character to the next.
struct TMetaText {
    std::vector<std::string> characters;
    std::vector<double> advances;
};

class TMetafilePlayer {
public:
    // Plays into canvas; toTarget takes the page's device units to canvas pixels.
    TMetafilePlayer(TCanvas& canvas, const TAffine& toTarget, uint32_t objectCount);

    // --- state
    void SetMapMode(int mode);
    void SetWindowOrg(TPointF origin);
    void SetWindowExt(TPointF extent);
    void SetViewportOrg(TPointF origin);
    void SetViewportExt(TPointF extent);
    void OffsetWindowOrg(TPointF delta);
    void OffsetViewportOrg(TPointF delta);
    void ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
    void SetWorldTransform(const TAffine& transform);
    void ModifyWorldTransform(const TAffine& transform, uint32_t mode);
    // Millimetres per device unit of the fixed mapping modes.
    void SetDeviceResolution(double pixelsPerMillimetreX, double pixelsPerMillimetreY);

    void SetTextColor(TColor color) { dc_.textColor = color; }
    void SetBkColor(TColor color) { dc_.bkColor = color; }
    void SetBkMode(uint32_t mode) { dc_.opaqueBackground = mode == 2; }
    void SetTextAlign(uint32_t align) { dc_.textAlign = align; }
    void SetPolyFillMode(uint32_t mode) { dc_.fillRule = mode == 2 ? TFillRule::frWinding : TFillRule::frAlternate; }
    void SetArcDirection(uint32_t direction) { dc_.clockwise = direction == 2; }
    void SaveDC();
    void RestoreDC(int32_t which);

    // --- objects: the slot is explicit in enhanced metafiles; Windows
    // metafiles take the lowest free one (slot < 0).
    void CreateObject(int64_t slot, TMetaObject object);
    void SelectObject(uint32_t index);
    void SelectStockObject(uint32_t stock);
    void DeleteObject(uint32_t index);

    // --- clipping, in logical units
    void IntersectClipRect(TPointF a, TPointF b);
    void ExcludeClipRect(TPointF a, TPointF b);
    void SelectClipRegion(uint32_t index);
    void SelectClipRectangles(const std::vector<TPointF>& corners, uint32_t mode, bool deviceUnits);
    void ResetClip() { dc_.clips.clear(); }

    // --- drawing, in logical units
    void MoveTo(TPointF p);
    void LineTo(TPointF p);
    void Polyline(const std::vector<TPointF>& points);
    void PolylineTo(const std::vector<TPointF>& points);
    void PolyBezier(const std::vector<TPointF>& points);
    void PolyBezierTo(const std::vector<TPointF>& points);
    void Polygons(const std::vector<std::vector<TPointF>>& polygons);
    void Polylines(const std::vector<std::vector<TPointF>>& polylines);
    void Rectangle(TPointF a, TPointF b);
    void RoundRect(TPointF a, TPointF b, TPointF corner);
    void Ellipse(TPointF a, TPointF b);
    void Arc(TPointF a, TPointF b, TPointF start, TPointF end);
    void Chord(TPointF a, TPointF b, TPointF start, TPointF end);
    void Pie(TPointF a, TPointF b, TPointF start, TPointF end);
    void FillRegion(uint32_t regionIndex, std::optional<uint32_t> brushIndex);
    void SetPixel(TPointF p, TColor color);
    void TextOut(TPointF reference, const TMetaText& text, uint32_t options, std::optional<std::pair<TPointF, TPointF>> box);
    // Draws part (in the bitmap's own pixels, from its top) scaled into the
    // logical rectangle at corner with the given extent.
    void DrawBitmap(const TBitmap& bitmap, const TRect& part, TPointF corner, TPointF extent);
    // The raster operations without a source: fills with the brush, black or white.
    void PatBlt(TPointF corner, TPointF extent, uint32_t rop);

    // --- paths (enhanced metafiles). A path that will only be stroked, with
    // the pen, clip and mapping as they are when it begins, is stroked figure
    // by figure as it is drawn instead of being kept whole.
    void BeginPath(bool strokedAlone);
    void EndPath() { pathOpen_ = false; }
    void AbortPath();
    void CloseFigure();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();
    void SelectClipPath(uint32_t mode);

private:
    struct DeviceContext {
        int mapMode = mmText;
        TPointF windowOrg{0, 0}, windowExt{1, 1}, viewportOrg{0, 0}, viewportExt{1, 1};
        TAffine world;
        TLogPen pen;
        TLogBrush brush;
        TLogFont font;
        TColor textColor = clBlack, bkColor = clWhite;
        bool opaqueBackground = true;
        uint32_t textAlign = 0;
        TFillRule fillRule = TFillRule::frAlternate;
        bool clockwise = false;
        TPointF position{0, 0};
        std::vector<TClip> clips;
    };

    TAffine LogicalToTarget() const;
    TPointF ToTarget(TPointF p) const;
    std::vector<TPointF> ToTarget(const std::vector<TPointF>& points) const;
    double ScaleOf(const TAffine& transform) const;
    TPen TargetPen() const;
    TBrush TargetBrush() const;
    TFont TargetFont() const;
    std::vector<TPointF> EllipsePoints(TPointF a, TPointF b, double startAngle, double sweep) const;
    std::vector<TPointF> ArcPoints(TPointF a, TPointF b, TPointF start, TPointF end) const;
    template <class Emit>
    void EmitBezierPoints(TPointF from, std::span<const TPointF> controls, Emit emit) const;
    template <class Produce>
    void DrawLine(TPointF from, bool newFigure, Produce produce);
    bool PathTakes(size_t points);
    void AppendToPath(TShapePath path);
    void ClearPath();
    void DrawClosed(TShapePath path);
    void DrawOpen(TShapePath path);
    void AddClip(TClip clip);
    void ChargeObject(const TMetaObject& object, int sign);
    TShapePath RegionPath(const TLogRegion& region) const;

    TCanvas& canvas_;
    TAffine toTarget_;
    double pixelsPerMmX_ = 96 / 25.4, pixelsPerMmY_ = 96 / 25.4;
    DeviceContext dc_;
    std::vector<DeviceContext> saved_;
    std::vector<TMetaObject> objects_;
    int64_t objectBytes_ = 0;
    bool pathOpen_ = false;
    TShapePath path_;  // target pixels
    size_t pathPoints_ = 0;
    std::unique_ptr<TStrokeStream> pathStroke_;  // a path stroked as it is drawn
};

}  // namespace corvalin

// The records of an enhanced metafile: 32-bit type and size, then fields at
// fixed offsets from the record's start; bitmaps and strings are found by
// offsets inside the record.
#include "formats/metafile/MetafilePlayback.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "formats/metafile/MetafileData.h"

namespace corvalin {

namespace {

enum EmfType : uint32_t {
    emrPolyBezier = 2, emrPolygon = 3, emrPolyline = 4, emrPolyBezierTo = 5, emrPolylineTo = 6,
    emrPolyPolyline = 7, emrPolyPolygon = 8, emrSetWindowExtEx = 9, emrSetWindowOrgEx = 10,
    emrSetViewportExtEx = 11, emrSetViewportOrgEx = 12, emrEof = 14, emrSetPixelV = 15,
    emrSetMapMode = 17, emrSetBkMode = 18, emrSetPolyFillMode = 19, emrSetTextAlign = 22,
    emrSetTextColor = 24, emrSetBkColor = 25, emrMoveToEx = 27, emrExcludeClipRect = 29,
    emrIntersectClipRect = 30, emrScaleViewportExtEx = 31, emrScaleWindowExtEx = 32, emrSaveDC = 33,
    emrRestoreDC = 34, emrSetWorldTransform = 35, emrModifyWorldTransform = 36, emrSelectObject = 37,
    emrCreatePen = 38, emrCreateBrushIndirect = 39, emrDeleteObject = 40, emrEllipse = 42,
    emrRectangle = 43, emrRoundRect = 44, emrArc = 45, emrChord = 46, emrPie = 47,
    emrCreatePalette = 49, emrLineTo = 54, emrSetArcDirection = 57, emrBeginPath = 59, emrEndPath = 60,
    emrCloseFigure = 61, emrFillPath = 62, emrStrokeAndFillPath = 63, emrStrokePath = 64,
    emrSelectClipPath = 67, emrAbortPath = 68, emrExtSelectClipRgn = 75, emrBitBlt = 76,
    emrStretchBlt = 77, emrStretchDIBits = 81, emrExtCreateFontIndirectW = 82, emrExtTextOutA = 83,
    emrExtTextOutW = 84, emrPolyBezier16 = 85, emrPolygon16 = 86, emrPolyline16 = 87,
    emrPolyBezierTo16 = 88, emrPolylineTo16 = 89, emrPolyPolyline16 = 90, emrPolyPolygon16 = 91,
    emrCreateMonoBrush = 93, emrCreateDibPatternBrushPt = 94, emrExtCreatePen = 95,
};

constexpr size_t kRecordHead = 8;
constexpr uint32_t kEtoPdy = 0x2000;
constexpr uint32_t kPenGeometric = 0x00010000;
constexpr uint32_t kBrushNull = 1;
constexpr uint32_t kRegionHeader = 32;

// A record: fields read at offsets from its start; a field past its end throws EReadError.
class EmfRecord {
public:
    explicit EmfRecord(std::span<const uint8_t> bytes) : cursor_(bytes) {}

    uint32_t U32(size_t offset) const { return Get32(cursor_.At(offset, 4).data(), TByteOrder::LittleEndian); }
    int32_t I32(size_t offset) const { return int32_t(U32(offset)); }
    double D(size_t offset) const { return I32(offset); }
    float F32(size_t offset) const { return std::bit_cast<float>(U32(offset)); }
    uint8_t U8(size_t offset) const { return cursor_.At(offset, 1)[0]; }
    TPointF Point(size_t offset) const { return {D(offset), D(offset + 4)}; }
    // Count elements of a size at an offset, all inside the record.
    std::span<const uint8_t> Array(size_t offset, uint64_t count, size_t size) const
    {
        if (count > cursor_.Size() / size)
            throw EReadError(msg::StreamRead);
        return cursor_.At(offset, size_t(count) * size);
    }
    // A block addressed by offset and size fields; empty when it does not lie inside.
    std::span<const uint8_t> Block(size_t offsetField, size_t sizeField) const
    {
        const uint32_t offset = U32(offsetField), size = U32(sizeField);
        if (offset > cursor_.Size() || size > cursor_.Size() - offset)
            return {};
        return cursor_.At(offset, size);
    }
    size_t Size() const { return cursor_.Size(); }

private:
    TByteCursor cursor_;
};

std::vector<TPointF> Points(const EmfRecord& r, size_t offset, uint64_t count, bool small)
{
    const size_t size = small ? 4 : 8;
    const std::span<const uint8_t> bytes = r.Array(offset, count, size);
    std::vector<TPointF> points;
    points.reserve(size_t(count));
    for (size_t i = 0; i < bytes.size(); i += size) {
        if (small)
            points.push_back({double(int16_t(Get16(&bytes[i], TByteOrder::LittleEndian))),
                              double(int16_t(Get16(&bytes[i + 2], TByteOrder::LittleEndian)))});
        else
            points.push_back({double(int32_t(Get32(&bytes[i], TByteOrder::LittleEndian))),
                              double(int32_t(Get32(&bytes[i + 4], TByteOrder::LittleEndian)))});
    }
    return points;
}

// Bounds, count, points.
void PolyRecord(uint32_t type, const EmfRecord& r, TMetafilePlayer& player, bool small)
{
    const std::vector<TPointF> points = Points(r, 28, r.U32(24), small);
    switch (type) {
    case emrPolyBezier: case emrPolyBezier16: player.PolyBezier(points); break;
    case emrPolygon: case emrPolygon16: player.Polygons({points}); break;
    case emrPolyline: case emrPolyline16: player.Polyline(points); break;
    case emrPolyBezierTo: case emrPolyBezierTo16: player.PolyBezierTo(points); break;
    default: player.PolylineTo(points); break;
    }
}

// Bounds, number of figures, number of points, the figures' point counts, points.
void PolyPolyRecord(const EmfRecord& r, TMetafilePlayer& player, bool small, bool closed)
{
    const uint32_t figures = r.U32(24), total = r.U32(28);
    const std::span<const uint8_t> counts = r.Array(32, figures, 4);
    const std::vector<TPointF> points = Points(r, 32 + counts.size(), total, small);
    std::vector<std::vector<TPointF>> polys;
    size_t used = 0;
    for (size_t i = 0; i < counts.size(); i += 4) {
        const uint32_t n = Get32(&counts[i], TByteOrder::LittleEndian);
        if (n > points.size() - used)
            return;
        polys.emplace_back(points.begin() + ptrdiff_t(used), points.begin() + ptrdiff_t(used + n));
        used += n;
    }
    if (closed)
        player.Polygons(polys);
    else
        player.Polylines(polys);
}

TAffine Transform(const EmfRecord& r, size_t offset)
{
    return {r.F32(offset), r.F32(offset + 4), r.F32(offset + 8), r.F32(offset + 12), r.F32(offset + 16),
            r.F32(offset + 20)};
}

TLogPen Pen(uint32_t style, double width, TColor color, bool geometric)
{
    TLogPen pen;
    const uint32_t kind = style & 0x0F;
    pen.style = kind <= 5 ? TPenStyle(kind) : kind == 8 ? TPenStyle::psDot : TPenStyle::psSolid;
    pen.width = width;
    pen.cosmetic = !geometric || width == 0;
    pen.color = color;
    pen.cap = (style & 0x0F00) == 0x0100 ? TLineCap::lcSquare : (style & 0x0F00) == 0x0200 ? TLineCap::lcFlat : TLineCap::lcRound;
    pen.join = (style & 0xF000) == 0x1000 ? TLineJoin::ljBevel : (style & 0xF000) == 0x2000 ? TLineJoin::ljMiter : TLineJoin::ljRound;
    return pen;
}

TLogFont Font(const EmfRecord& r)
{
    TLogFont font;
    font.height = r.I32(12);
    font.weight = r.I32(28);
    font.italic = r.U8(32) != 0;
    font.underline = r.U8(33) != 0;
    font.strikeOut = r.U8(34) != 0;
    font.charset = r.U8(35);
    std::vector<uint16_t> face;
    for (size_t i = 0; i < 32; ++i) {
        const uint16_t unit = uint16_t(r.U8(40 + 2 * i) | r.U8(41 + 2 * i) << 8);
        if (unit == 0)
            break;
        face.push_back(unit);
    }
    for (const std::string& c : Text16(face, {}).characters)
        font.face += c;
    return font;
}

// EMRTEXT at 36: reference point, characters, string offset, options, box, advances offset.
void ExtTextOut(const EmfRecord& r, TMetafilePlayer& player, bool wide)
{
    const TPointF reference = r.Point(36);
    const uint32_t count = r.U32(44);
    const uint32_t options = r.U32(52);
    const std::pair<TPointF, TPointF> box{r.Point(56), r.Point(64)};
    const std::span<const uint8_t> string = r.Array(r.U32(48), count, wide ? 2 : 1);
    std::vector<int32_t> advances;
    const uint32_t dxOffset = r.U32(72);
    const size_t step = options & kEtoPdy ? 8 : 4;
    if (dxOffset != 0 && uint64_t(dxOffset) + uint64_t(count) * step <= r.Size())
        for (uint32_t i = 0; i < count; ++i)
            advances.push_back(r.I32(dxOffset + i * step));
    if (!wide) {
        player.TextOut(reference, Text8(string, advances), options, box);
        return;
    }
    std::vector<uint16_t> units(count);
    for (uint32_t i = 0; i < count; ++i)
        units[i] = Get16(&string[2 * i], TByteOrder::LittleEndian);
    player.TextOut(reference, Text16(units, advances), options, box);
}

void ClipRegion(const EmfRecord& r, TMetafilePlayer& player)
{
    const uint32_t size = r.U32(8), mode = r.U32(12);
    std::vector<TPointF> corners;
    if (size >= kRegionHeader) {
        const uint32_t count = r.U32(16 + 8);
        const std::span<const uint8_t> rects = r.Array(16 + kRegionHeader, count, 16);
        auto at = [&](size_t i) { return double(int32_t(Get32(&rects[i], TByteOrder::LittleEndian))); };
        for (size_t i = 0; i < rects.size(); i += 16) {
            corners.push_back({at(i), at(i + 4)});
            corners.push_back({at(i + 8), at(i + 12)});
        }
    }
    player.SelectClipRectangles(corners, mode, true);
}

void DrawDib(const EmfRecord& r, TMetafilePlayer& player, size_t bmiField, size_t bitsField, TPointF source,
             TPointF sourceExtent, TPointF corner, TPointF extent, bool fromBottom)
{
    const std::unique_ptr<TBitmap> bitmap = DecodeDib(r.Block(bmiField, bmiField + 4), r.Block(bitsField, bitsField + 4));
    if (bitmap == nullptr)
        return;
    // The fields are 32-bit numbers; their sums and differences need 64 bits
    // and are then pulled in to what the bitmap can have.
    const int64_t left = int64_t(source.x), width = int64_t(sourceExtent.x), height = int64_t(sourceExtent.y);
    const int64_t top = fromBottom && !bitmap->BmpDescription().topDown
                            ? int64_t(bitmap->Height()) - int64_t(source.y) - height
                            : int64_t(source.y);
    auto bounded = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, -INT32_MAX, INT32_MAX)); };
    player.DrawBitmap(*bitmap, TRect{bounded(left), bounded(top), bounded(left + width), bounded(top + height)}, corner,
                      extent);
}

// BitBlt and StretchBlt: without a source bitmap they only fill with the brush.
void Blit(const EmfRecord& r, TMetafilePlayer& player, bool stretched)
{
    const TPointF corner = r.Point(24), extent = r.Point(32);
    const uint32_t rop = r.U32(40);
    if (r.U32(88) == 0) {
        player.PatBlt(corner, extent, rop);
        return;
    }
    const TPointF sourceExtent = stretched ? r.Point(100) : extent;
    DrawDib(r, player, 84, 92, r.Point(44), sourceExtent, corner, extent, false);
}

void PatternBrushRecord(const EmfRecord& r, TMetafilePlayer& player)
{
    const std::unique_ptr<TBitmap> pattern = DecodeDib(r.Block(16, 20), r.Block(24, 28));
    player.CreateObject(r.U32(8), PatternBrush(pattern.get()));
}

void PlayRecord(uint32_t type, const EmfRecord& r, TMetafilePlayer& player)
{
    switch (type) {
    case emrPolyBezier: case emrPolygon: case emrPolyline: case emrPolyBezierTo: case emrPolylineTo:
        PolyRecord(type, r, player, false);
        break;
    case emrPolyBezier16: case emrPolygon16: case emrPolyline16: case emrPolyBezierTo16: case emrPolylineTo16:
        PolyRecord(type - emrPolyBezier16 + emrPolyBezier, r, player, true);
        break;
    case emrPolyPolyline: PolyPolyRecord(r, player, false, false); break;
    case emrPolyPolygon: PolyPolyRecord(r, player, false, true); break;
    case emrPolyPolyline16: PolyPolyRecord(r, player, true, false); break;
    case emrPolyPolygon16: PolyPolyRecord(r, player, true, true); break;
    case emrSetWindowExtEx: player.SetWindowExt(r.Point(8)); break;
    case emrSetWindowOrgEx: player.SetWindowOrg(r.Point(8)); break;
    case emrSetViewportExtEx: player.SetViewportExt(r.Point(8)); break;
    case emrSetViewportOrgEx: player.SetViewportOrg(r.Point(8)); break;
    case emrScaleViewportExtEx: player.ScaleViewportExt(r.D(8), r.D(12), r.D(16), r.D(20)); break;
    case emrScaleWindowExtEx: player.ScaleWindowExt(r.D(8), r.D(12), r.D(16), r.D(20)); break;
    case emrSetPixelV: player.SetPixel(r.Point(8), ColorRef(r.U32(16))); break;
    case emrSetMapMode: player.SetMapMode(r.I32(8)); break;
    case emrSetBkMode: player.SetBkMode(r.U32(8)); break;
    case emrSetPolyFillMode: player.SetPolyFillMode(r.U32(8)); break;
    case emrSetTextAlign: player.SetTextAlign(r.U32(8)); break;
    case emrSetTextColor: player.SetTextColor(ColorRef(r.U32(8))); break;
    case emrSetBkColor: player.SetBkColor(ColorRef(r.U32(8))); break;
    case emrSetArcDirection: player.SetArcDirection(r.U32(8)); break;
    case emrMoveToEx: player.MoveTo(r.Point(8)); break;
    case emrLineTo: player.LineTo(r.Point(8)); break;
    case emrExcludeClipRect: player.ExcludeClipRect(r.Point(8), r.Point(16)); break;
    case emrIntersectClipRect: player.IntersectClipRect(r.Point(8), r.Point(16)); break;
    case emrSaveDC: player.SaveDC(); break;
    case emrRestoreDC: player.RestoreDC(r.I32(8)); break;
    case emrSetWorldTransform: player.SetWorldTransform(Transform(r, 8)); break;
    case emrModifyWorldTransform: player.ModifyWorldTransform(Transform(r, 8), r.U32(32)); break;
    case emrSelectObject: player.SelectObject(r.U32(8)); break;
    case emrDeleteObject: player.DeleteObject(r.U32(8)); break;
    case emrCreatePen:
        player.CreateObject(r.U32(8), Pen(r.U32(12), r.D(16), ColorRef(r.U32(24)), true));
        break;
    case emrExtCreatePen: {
        TLogPen pen = Pen(r.U32(28), r.D(32), ColorRef(r.U32(40)), (r.U32(28) & kPenGeometric) != 0);
        if (r.U32(36) == kBrushNull)
            pen.style = TPenStyle::psClear;
        player.CreateObject(r.U32(8), pen);
        break;
    }
    case emrCreateBrushIndirect:
        player.CreateObject(r.U32(8), TLogBrush{r.U32(12) == kBrushNull, ColorRef(r.U32(16))});
        break;
    case emrCreateMonoBrush: case emrCreateDibPatternBrushPt: PatternBrushRecord(r, player); break;
    case emrCreatePalette: player.CreateObject(r.U32(8), TSlotHolder{}); break;
    case emrExtCreateFontIndirectW: player.CreateObject(r.U32(8), Font(r)); break;
    case emrEllipse: player.Ellipse(r.Point(8), r.Point(16)); break;
    case emrRectangle: player.Rectangle(r.Point(8), r.Point(16)); break;
    case emrRoundRect: player.RoundRect(r.Point(8), r.Point(16), r.Point(24)); break;
    case emrArc: player.Arc(r.Point(8), r.Point(16), r.Point(24), r.Point(32)); break;
    case emrChord: player.Chord(r.Point(8), r.Point(16), r.Point(24), r.Point(32)); break;
    case emrPie: player.Pie(r.Point(8), r.Point(16), r.Point(24), r.Point(32)); break;
    case emrEndPath: player.EndPath(); break;
    case emrCloseFigure: player.CloseFigure(); break;
    case emrFillPath: player.FillPath(); break;
    case emrStrokeAndFillPath: player.StrokeAndFillPath(); break;
    case emrStrokePath: player.StrokePath(); break;
    case emrSelectClipPath: player.SelectClipPath(r.U32(8)); break;
    case emrAbortPath: player.AbortPath(); break;
    case emrExtSelectClipRgn: ClipRegion(r, player); break;
    case emrExtTextOutA: ExtTextOut(r, player, false); break;
    case emrExtTextOutW: ExtTextOut(r, player, true); break;
    case emrBitBlt: Blit(r, player, false); break;
    case emrStretchBlt: Blit(r, player, true); break;
    case emrStretchDIBits:
        DrawDib(r, player, 48, 56, r.Point(32), r.Point(40), r.Point(24), r.Point(72), true);
        break;
    default: break;
    }
}

// The records that add figures to a path.
constexpr uint32_t kFigureRecords[] = {
    emrPolyBezier,     emrPolygon,       emrPolyline,  emrPolyBezierTo, emrPolylineTo,     emrPolyPolyline,
    emrPolyPolygon,    emrPolyBezier16,  emrPolygon16, emrPolyline16,   emrPolyBezierTo16, emrPolylineTo16,
    emrPolyPolyline16, emrPolyPolygon16, emrMoveToEx,  emrLineTo,       emrEllipse,        emrRectangle,
    emrRoundRect,      emrArc,           emrChord,     emrPie,          emrCloseFigure,
};

// Whether the records from here (just after a path begins) only add figures
// to the path, end it and then stroke it: pen, clip and mapping stay as they
// are now, so each figure can be stroked as soon as it is drawn.
bool StrokedAlone(std::span<const uint8_t> data)
{
    bool ended = false;
    for (size_t position = 0; data.size() - position >= kRecordHead;) {
        const uint32_t type = Get32(data.data() + position, TByteOrder::LittleEndian);
        const uint32_t size = Get32(data.data() + position + 4, TByteOrder::LittleEndian);
        if (size < kRecordHead || size > data.size() - position)
            return false;
        if (ended)
            return type == emrStrokePath;
        if (type == emrEndPath)
            ended = true;
        else if (std::ranges::find(kFigureRecords, type) == std::end(kFigureRecords))
            return false;
        position += size;
    }
    return false;
}

}  // namespace

void PlayEnhancedRecords(const TMetafileHeader& header, TCanvas& canvas, const TRect& target)
{
    // The frame, in the reference device's pixels, fills the target.
    const double perHundredthX = double(header.devicePixelsX) / (header.deviceMillimetresX * 100.0);
    const double perHundredthY = double(header.devicePixelsY) / (header.deviceMillimetresY * 100.0);
    const double frameWidth = header.FrameWidth() * perHundredthX;
    const double frameHeight = header.FrameHeight() * perHundredthY;
    const double sx = frameWidth != 0 ? target.Width() / frameWidth : 1;
    const double sy = frameHeight != 0 ? target.Height() / frameHeight : 1;
    const TAffine toTarget{sx, 0, 0, sy, target.left - header.frameLeft * perHundredthX * sx,
                           target.top - header.frameTop * perHundredthY * sy};
    TMetafilePlayer player(canvas, toTarget, header.objectCount);
    player.SetDeviceResolution(perHundredthX * 100, perHundredthY * 100);

    const std::span<const uint8_t> data = header.records;
    size_t position = 0;
    while (data.size() - position >= kRecordHead) {
        const uint32_t type = Get32(data.data() + position, TByteOrder::LittleEndian);
        const uint32_t size = Get32(data.data() + position + 4, TByteOrder::LittleEndian);
        if (size < kRecordHead || size > data.size() - position || type == emrEof)
            break;
        try {
            if (type == emrBeginPath)
                player.BeginPath(StrokedAlone(data.subspan(position + size)));
            else
                PlayRecord(type, EmfRecord(data.subspan(position, size)), player);
        } catch (const EReadError&) {
            // The record's fields run past its end: it is left out.
        }
        position += size;
    }
}

void PlayMetafile(const TMetafileHeader& header, TCanvas& canvas, const TRect& target)
{
    if (header.kind == TMetafileKind::Enhanced)
        PlayEnhancedRecords(header, canvas, target);
    else
        PlayWindowsRecords(header, canvas, target);
}

}  // namespace corvalin

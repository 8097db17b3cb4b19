// The records of a Windows metafile. Their parameters come in reverse order
// of the drawing calls' arguments (y before x, bottom before top); all
// coordinates are signed 16-bit logical units.
#include "formats/metafile/MetafilePlayback.h"

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "formats/metafile/MetafileData.h"

namespace corvalin {

namespace {

enum WmfFunction : uint16_t {
    wmfEof = 0x0000, wmfSaveDC = 0x001E, wmfCreatePalette = 0x00F7, wmfSetBkMode = 0x0102,
    wmfSetPolyFillMode = 0x0106, wmfRestoreDC = 0x0127, wmfSelectClipRegion = 0x012C,
    wmfSelectObject = 0x012D, wmfSetTextAlign = 0x012E, wmfDibCreatePatternBrush = 0x0142,
    wmfDeleteObject = 0x01F0, wmfCreatePatternBrush = 0x01F9, wmfSetBkColor = 0x0201,
    wmfSetTextColor = 0x0209, wmfSetWindowOrg = 0x020B, wmfSetWindowExt = 0x020C,
    wmfOffsetWindowOrg = 0x020F, wmfLineTo = 0x0213, wmfMoveTo = 0x0214, wmfCreatePenIndirect = 0x02FA,
    wmfCreateFontIndirect = 0x02FB, wmfCreateBrushIndirect = 0x02FC, wmfPolygon = 0x0324,
    wmfPolyline = 0x0325, wmfScaleWindowExt = 0x0410, wmfExcludeClipRect = 0x0415,
    wmfIntersectClipRect = 0x0416, wmfEllipse = 0x0418, wmfRectangle = 0x041B, wmfSetPixel = 0x041F,
    wmfTextOut = 0x0521, wmfPolyPolygon = 0x0538, wmfRoundRect = 0x061C, wmfPatBlt = 0x061D,
    wmfCreateRegion = 0x06FF, wmfArc = 0x0817, wmfPie = 0x081A, wmfChord = 0x0830,
    wmfDibBitBlt = 0x0940, wmfExtTextOut = 0x0A32, wmfDibStretchBlt = 0x0B41, wmfStretchDib = 0x0F43,
};

constexpr size_t kRecordHead = 6;
constexpr uint32_t kEtoClippedOrOpaque = 6;

class WmfRecord {
public:
    explicit WmfRecord(std::span<const uint8_t> params) : cursor_(params) {}

    double S16() { return int16_t(cursor_.U16LE()); }
    uint16_t U16() { return cursor_.U16LE(); }
    uint32_t U32() { return cursor_.U32LE(); }
    // A point stored as y, then x.
    TPointF YX()
    {
        const double y = S16();
        return {S16(), y};
    }
    // A point stored as x, then y.
    TPointF XY()
    {
        const double x = S16();
        return {x, S16()};
    }
    // A rectangle stored as bottom, right, top, left: the corners (left, top), (right, bottom).
    std::pair<TPointF, TPointF> Box()
    {
        const TPointF low = YX();
        return {YX(), low};
    }
    std::vector<TPointF> Points(size_t count)
    {
        if (count > cursor_.Remaining() / 4)
            throw EReadError(msg::StreamRead);
        std::vector<TPointF> points;
        points.reserve(count);
        for (size_t i = 0; i < count; ++i)
            points.push_back(XY());
        return points;
    }
    std::span<const uint8_t> Bytes(size_t count) { return cursor_.Bytes(count); }
    std::span<const uint8_t> Rest() { return cursor_.Bytes(cursor_.Remaining()); }
    size_t Size() const { return cursor_.Size(); }
    size_t Remaining() const { return cursor_.Remaining(); }
    void Skip(size_t count) { cursor_.Skip(count); }

private:
    TByteCursor cursor_;
};

TLogPen PenFrom(WmfRecord& r)
{
    const uint16_t style = r.U16();
    TLogPen pen;
    pen.width = r.S16();
    r.Skip(2);
    pen.color = ColorRef(r.U32());
    pen.cosmetic = pen.width == 0;
    const uint16_t kind = style & 0x0F;
    pen.style = kind <= 5 ? TPenStyle(kind) : TPenStyle::psSolid;
    pen.cap = (style & 0x0F00) == 0x0100 ? TLineCap::lcSquare : (style & 0x0F00) == 0x0200 ? TLineCap::lcFlat : TLineCap::lcRound;
    pen.join = (style & 0xF000) == 0x1000 ? TLineJoin::ljBevel : (style & 0xF000) == 0x2000 ? TLineJoin::ljMiter : TLineJoin::ljRound;
    return pen;
}

TLogBrush BrushFrom(WmfRecord& r)
{
    const uint16_t style = r.U16();
    const TColor color = ColorRef(r.U32());
    constexpr uint16_t bsNull = 1;
    return {style == bsNull, color};
}

TLogFont FontFrom(WmfRecord& r)
{
    TLogFont font;
    font.height = int32_t(r.S16());
    r.Skip(6);  // width, escapement, orientation
    font.weight = int32_t(r.S16());
    const std::span<const uint8_t> flags = r.Bytes(8);
    font.italic = flags[0] != 0;
    font.underline = flags[1] != 0;
    font.strikeOut = flags[2] != 0;
    font.charset = flags[3];
    const std::span<const uint8_t> face = r.Bytes(std::min<size_t>(32, r.Remaining()));
    for (uint8_t c : face) {
        if (c == 0)
            break;
        font.face += Text8(std::span(&c, 1), {}).characters[0];
    }
    return font;
}

// Region records carry their scan lines after the bounding box; the box is what is kept.
TLogRegion RegionFrom(WmfRecord& r)
{
    r.Skip(14);
    const auto [a, b] = std::pair<TPointF, TPointF>{r.XY(), r.XY()};
    return {{a, b}};
}

void PolyPolygon(WmfRecord& r, TMetafilePlayer& player)
{
    const uint16_t count = r.U16();
    std::vector<uint16_t> sizes;
    for (uint16_t i = 0; i < count; ++i)
        sizes.push_back(r.U16());
    std::vector<std::vector<TPointF>> polygons;
    for (uint16_t n : sizes)
        polygons.push_back(r.Points(n));
    player.Polygons(polygons);
}

void TextOut(WmfRecord& r, TMetafilePlayer& player)
{
    const uint16_t count = r.U16();
    const std::span<const uint8_t> bytes = r.Bytes(count);
    r.Skip(count % 2);
    const TPointF at = r.YX();
    player.TextOut(at, Text8(bytes, {}), 0, std::nullopt);
}

void ExtTextOut(WmfRecord& r, TMetafilePlayer& player)
{
    const TPointF at = r.YX();
    const uint16_t count = r.U16();
    const uint16_t options = r.U16();
    std::optional<std::pair<TPointF, TPointF>> box;
    if (options & kEtoClippedOrOpaque) {
        const TPointF a = r.XY();
        box = std::pair{a, r.XY()};
    }
    const std::span<const uint8_t> bytes = r.Bytes(count);
    if (count % 2 != 0 && r.Remaining() > 0)
        r.Skip(1);
    std::vector<int32_t> advances;
    const std::span<const uint8_t> rest = r.Rest();
    for (size_t i = 0; i + 1 < rest.size() && advances.size() < count; i += 2)
        advances.push_back(int16_t(Get16(rest.data() + i, TByteOrder::LittleEndian)));
    player.TextOut(at, Text8(bytes, advances), options, box);
}

// Bitblt-style records without a bitmap only fill with the brush.
void BlitWithoutBitmap(WmfRecord& r, TMetafilePlayer& player, uint32_t rop, bool stretched)
{
    r.Skip(2);
    if (stretched)
        r.Skip(8);  // source height, width, y, x
    const TPointF extent = r.YX();
    player.PatBlt(r.YX(), extent, rop);
}

void DrawDib(TMetafilePlayer& player, std::span<const uint8_t> packed, TPointF sourceCorner, TPointF sourceExtent,
             TPointF corner, TPointF extent, bool fromBottom)
{
    const std::unique_ptr<TBitmap> bitmap = DecodePackedDib(packed);
    if (bitmap == nullptr)
        return;
    const int32_t left = int32_t(sourceCorner.x), width = int32_t(sourceExtent.x), height = int32_t(sourceExtent.y);
    // A bottom-up bitmap counts its source rows from the bottom.
    const int32_t top = fromBottom && !bitmap->BmpDescription().topDown ? bitmap->Height() - int32_t(sourceCorner.y) - height
                                                                 : int32_t(sourceCorner.y);
    player.DrawBitmap(*bitmap, TRect{left, top, left + width, top + height}, corner, extent);
}

void DibBitBlt(WmfRecord& r, TMetafilePlayer& player)
{
    const uint32_t rop = r.U32();
    if (r.Size() == 14) {
        BlitWithoutBitmap(r, player, rop, false);
        return;
    }
    const TPointF source = r.YX();
    const TPointF extent = r.YX();
    const TPointF corner = r.YX();
    DrawDib(player, r.Rest(), source, extent, corner, extent, false);
}

void DibStretchBlt(WmfRecord& r, TMetafilePlayer& player)
{
    const uint32_t rop = r.U32();
    if (r.Size() == 22) {
        BlitWithoutBitmap(r, player, rop, true);
        return;
    }
    const TPointF sourceExtent = r.YX();
    const TPointF source = r.YX();
    const TPointF extent = r.YX();
    const TPointF corner = r.YX();
    DrawDib(player, r.Rest(), source, sourceExtent, corner, extent, false);
}

void StretchDib(WmfRecord& r, TMetafilePlayer& player)
{
    r.Skip(6);  // raster operation, colour usage
    const TPointF sourceExtent = r.YX();
    const TPointF source = r.YX();
    const TPointF extent = r.YX();
    const TPointF corner = r.YX();
    DrawDib(player, r.Rest(), source, sourceExtent, corner, extent, true);
}

void PlayRecord(uint16_t function, WmfRecord& r, TMetafilePlayer& player)
{
    switch (function) {
    case wmfSetBkColor: player.SetBkColor(ColorRef(r.U32())); break;
    case wmfSetBkMode: player.SetBkMode(r.U16()); break;
    case wmfSetPolyFillMode: player.SetPolyFillMode(r.U16()); break;
    case wmfSetTextColor: player.SetTextColor(ColorRef(r.U32())); break;
    case wmfSetTextAlign: player.SetTextAlign(r.U16()); break;
    case wmfSetWindowOrg: player.SetWindowOrg(r.YX()); break;
    case wmfSetWindowExt: player.SetWindowExt(r.YX()); break;
    case wmfOffsetWindowOrg: player.OffsetWindowOrg(r.YX()); break;
    case wmfScaleWindowExt: {
        const double yDenom = r.S16(), yNum = r.S16(), xDenom = r.S16(), xNum = r.S16();
        player.ScaleWindowExt(xNum, xDenom, yNum, yDenom);
        break;
    }
    case wmfMoveTo: player.MoveTo(r.YX()); break;
    case wmfLineTo: player.LineTo(r.YX()); break;
    case wmfExcludeClipRect: { const auto [a, b] = r.Box(); player.ExcludeClipRect(a, b); break; }
    case wmfIntersectClipRect: { const auto [a, b] = r.Box(); player.IntersectClipRect(a, b); break; }
    case wmfRectangle: { const auto [a, b] = r.Box(); player.Rectangle(a, b); break; }
    case wmfEllipse: { const auto [a, b] = r.Box(); player.Ellipse(a, b); break; }
    case wmfRoundRect: {
        const TPointF corner = r.YX();
        const auto [a, b] = r.Box();
        player.RoundRect(a, b, corner);
        break;
    }
    case wmfArc: case wmfPie: case wmfChord: {
        const TPointF end = r.YX(), start = r.YX();
        const auto [a, b] = r.Box();
        if (function == wmfArc)
            player.Arc(a, b, start, end);
        else if (function == wmfPie)
            player.Pie(a, b, start, end);
        else
            player.Chord(a, b, start, end);
        break;
    }
    case wmfSaveDC: player.SaveDC(); break;
    case wmfRestoreDC: player.RestoreDC(int32_t(r.S16())); break;
    case wmfSetPixel: { const TColor color = ColorRef(r.U32()); player.SetPixel(r.YX(), color); break; }
    case wmfTextOut: TextOut(r, player); break;
    case wmfExtTextOut: ExtTextOut(r, player); break;
    case wmfPolygon: player.Polygons({r.Points(r.U16())}); break;
    case wmfPolyline: player.Polyline(r.Points(r.U16())); break;
    case wmfPolyPolygon: PolyPolygon(r, player); break;
    case wmfSelectObject: player.SelectObject(r.U16()); break;
    case wmfDeleteObject: player.DeleteObject(r.U16()); break;
    case wmfSelectClipRegion: player.SelectClipRegion(r.U16()); break;
    case wmfCreatePalette: case wmfCreatePatternBrush:
        player.CreateObject(-1, function == wmfCreatePalette ? TMetaObject(TSlotHolder{}) : TMetaObject(PatternBrush(nullptr)));
        break;
    case wmfCreateRegion: player.CreateObject(-1, RegionFrom(r)); break;
    case wmfCreatePenIndirect: player.CreateObject(-1, PenFrom(r)); break;
    case wmfCreateFontIndirect: player.CreateObject(-1, FontFrom(r)); break;
    case wmfCreateBrushIndirect: player.CreateObject(-1, BrushFrom(r)); break;
    case wmfDibCreatePatternBrush: {
        r.Skip(4);
        const std::unique_ptr<TBitmap> pattern = DecodePackedDib(r.Rest());
        player.CreateObject(-1, PatternBrush(pattern.get()));
        break;
    }
    case wmfPatBlt: {
        const uint32_t rop = r.U32();
        const TPointF extent = r.YX();
        player.PatBlt(r.YX(), extent, rop);
        break;
    }
    case wmfDibBitBlt: DibBitBlt(r, player); break;
    case wmfDibStretchBlt: DibStretchBlt(r, player); break;
    case wmfStretchDib: StretchDib(r, player); break;
    default: break;
    }
}

}  // namespace

void PlayWindowsRecords(const TMetafileHeader& header, TCanvas& canvas, const TRect& target)
{
    // The window (the bounding box until the records set their own) fills
    // the target; viewport and mapping-mode records cannot move it.
    TMetafilePlayer player(canvas, TAffine{}, header.objectCount);
    player.SetMapMode(mmAnisotropic);
    player.SetViewportOrg({double(target.left), double(target.top)});
    player.SetViewportExt({double(target.Width()), double(target.Height())});
    player.SetWindowOrg({double(header.boxLeft), double(header.boxTop)});
    player.SetWindowExt({double(header.boxRight - header.boxLeft), double(header.boxBottom - header.boxTop)});

    const std::span<const uint8_t> data = header.records;
    size_t position = 0;
    while (data.size() - position >= kRecordHead) {
        const uint64_t size = uint64_t(Get32(data.data() + position, TByteOrder::LittleEndian)) * 2;
        const uint16_t function = Get16(data.data() + position + 4, TByteOrder::LittleEndian);
        if (size < kRecordHead || size > data.size() - position || function == wmfEof)
            break;
        WmfRecord record(data.subspan(position + kRecordHead, size_t(size) - kRecordHead));
        try {
            PlayRecord(function, record, player);
        } catch (const EReadError&) {
            // The record's fields run past its end: it is left out.
        }
        position += size_t(size);
    }
}

}  // namespace corvalin

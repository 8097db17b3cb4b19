// The player's text and bitmap output.
#include "formats/metafile/MetafilePlayer.h"

#include <algorithm>
#include <cmath>

#include "picture/Bitmap.h"
#include "picture/TextRenderer.h"

namespace corvalin {

namespace {

constexpr uint32_t kEtoOpaque = 2;
// A font of height 0 asks for the default size.
constexpr int32_t kDefaultFontHeight = -12;
constexpr int32_t kMaxFontPixels = 1024;
// Text placed farther out than this cannot reach any picture.
constexpr double kFarAway = double(1 << 24);

}  // namespace

TFont TMetafilePlayer::TargetFont() const
{
    const TAffine t = LogicalToTarget();
    TFont font;
    font.Name = dc_.font.face.empty() ? "Arial" : dc_.font.face;
    const double scaled = dc_.font.height * std::hypot(t.m12, t.m22);
    // Clamped while still a double: a transform of 1e30 makes no integer.
    const double bounded =
        std::isfinite(scaled) ? std::clamp(scaled, -double(kMaxFontPixels), double(kMaxFontPixels)) : 0;
    int32_t height = int32_t(std::lround(bounded));
    if (height == 0)
        height = dc_.font.height > 0 ? 1 : dc_.font.height < 0 ? -1 : kDefaultFontHeight;
    font.Height = height;
    font.Bold = dc_.font.weight >= 600;
    font.Italic = dc_.font.italic;
    font.Underline = dc_.font.underline;
    font.StrikeOut = dc_.font.strikeOut;
    font.Charset = dc_.font.charset;
    font.Color = dc_.textColor;
    return font;
}

void TMetafilePlayer::TextOut(TPointF reference, const TMetaText& text, uint32_t options,
                              std::optional<std::pair<TPointF, TPointF>> box)
{
    if (box && (options & kEtoOpaque)) {
        const TPointF a = box->first, b = box->second;
        canvas_.Clips = dc_.clips;
        canvas_.FillPath({{ToTarget(std::vector<TPointF>{a, {b.x, a.y}, b, {a.x, b.y}}), true}},
                         TBrush{dc_.bkColor, TBrushStyle::bsSolid}, TFillRule::frWinding);
    }
    if (text.characters.empty())
        return;
    const TAffine t = LogicalToTarget();
    const TFont font = TargetFont();
    const TTextExtent extent = MeasureText(text.characters.front(), font);

    // Where each character starts, in target pixels from the reference point:
    // by the record's advances, or by the font's.
    const bool spaced = text.advances.size() == text.characters.size();
    const double stretch = std::hypot(t.m11, t.m12);
    std::vector<double> starts{0};
    for (size_t i = 0; i < text.characters.size(); ++i)
        starts.push_back(starts.back() + (spaced ? text.advances[i] * stretch
                                                 : MeasureText(text.characters[i], font).width));
    const double width = starts.back();

    const bool fromCurrent = (dc_.textAlign & taUpdateCP) != 0;
    const TPointF at = ToTarget(fromCurrent ? dc_.position : reference);
    if (!std::isfinite(at.x) || !std::isfinite(at.y) || std::fabs(at.x) > kFarAway || std::fabs(at.y) > kFarAway)
        return;
    double x = at.x, y = at.y;
    if ((dc_.textAlign & taCenter) == taCenter)
        x -= width / 2;
    else if (dc_.textAlign & taRight)
        x -= width;
    if ((dc_.textAlign & taBaseline) == taBaseline)
        y -= extent.ascent;
    else if (dc_.textAlign & taBottom)
        y -= extent.height;

    canvas_.Font = font;
    canvas_.Brush = {dc_.bkColor, dc_.opaqueBackground ? TBrushStyle::bsSolid : TBrushStyle::bsClear};
    // Character by character, so that those off the picture cost nothing.
    const int pictureWidth = canvas_.Owner().Width(), pictureHeight = canvas_.Owner().Height();
    const double reach = std::abs(font.Height) * 2.0;
    if (y + extent.height >= 0 && y < pictureHeight)
        for (size_t i = 0; i < text.characters.size(); ++i) {
            const double left = x + starts[i];
            if (left + reach >= 0 && left - reach < pictureWidth)
                canvas_.DrawTextAt(int(std::lround(left)), int(std::lround(y)), text.characters[i]);
        }
    if (fromCurrent && stretch > 0)
        dc_.position.x += width / stretch;
}

void TMetafilePlayer::DrawBitmap(const TBitmap& bitmap, const TRect& part, TPointF corner, TPointF extent)
{
    if (bitmap.Empty())
        return;
    canvas_.Clips = dc_.clips;
    canvas_.DrawRasterPart(*bitmap.Raster(), part, ToTarget(corner),
                           ToTarget({corner.x + extent.x, corner.y + extent.y}));
}

void TMetafilePlayer::PatBlt(TPointF corner, TPointF extent, uint32_t rop)
{
    TBrush brush = TargetBrush();
    if (rop == ropBlackness)
        brush = {clBlack, TBrushStyle::bsSolid};
    else if (rop == ropWhiteness)
        brush = {clWhite, TBrushStyle::bsSolid};
    else if (rop != ropPatCopy)
        return;
    const TPointF b{corner.x + extent.x, corner.y + extent.y};
    canvas_.Clips = dc_.clips;
    canvas_.FillPath({{ToTarget(std::vector<TPointF>{corner, {b.x, corner.y}, b, {corner.x, b.y}}), true}}, brush,
                     TFillRule::frWinding);
}

}  // namespace corvalin

#include "overlay/Stamp.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "common/Exceptions.h"
#include "overlay/StampValues.h"
#include "picture/Canvas.h"
#include "picture/LayOver.h"
#include "picture/TextRenderer.h"

namespace corvalin {

namespace {

int32_t CheckedInt32(int64_t value)
{
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        throw EIntOverflow(msg::IntOverflow);
    return int32_t(value);
}

// One flag on an axis names that edge; none or both centre.
int32_t AxisPlace(bool nearFlag, bool farFlag, int32_t border, int32_t centred, int64_t farPlace)
{
    if (nearFlag == farFlag)
        return centred;
    return nearFlag ? border : CheckedInt32(farPlace);
}

uint8_t OpacityByte(int32_t percent)
{
    return uint8_t((percent * 255 + 50) / 100);
}

// Where a part of the stamp goes and how large it is.
struct TStampBox {
    TStampPoint place;
    int32_t width = 0;
    int32_t height = 0;
};

TStampBox LogoBox(const TBitmap& target, const TOverlaySnapshot& stamp)
{
    const TStampLogo& logo = *stamp.Logo;
    const auto [width, height] =
        LogoSizeOn(target.Width(), target.Height(), stamp.Style.LogoSize, logo.Width(), logo.Height());
    const TStampPoint place = StampPlace(stamp.Style.LogoAlign, stamp.Border, target.Width(), target.Height(),
                                         width, height, int64_t(stamp.Border) + int64_t(height));
    return {place, width, height};
}

void DrawStampLogo(TBitmap& target, const TOverlaySnapshot& stamp, const TStampBox& box)
{
    const std::shared_ptr<const TRaster> scaled = stamp.Logo->ScaledTo(box.width, box.height);
    const TStampPoint place = box.place;
    TRaster& raster = target.MutableRaster();
    const uint8_t opacity = OpacityByte(stamp.Style.Opacity);
    // Only the part inside the picture; a negative border may move it out.
    const int64_t firstRow = std::max<int64_t>(0, -int64_t(place.y));
    const int64_t endRow = std::min<int64_t>(scaled->height, int64_t(raster.height) - place.y);
    const int64_t firstColumn = std::max<int64_t>(0, -int64_t(place.x));
    const int64_t endColumn = std::min<int64_t>(scaled->width, int64_t(raster.width) - place.x);
    for (int64_t y = firstRow; y < endRow; ++y) {
        const uint8_t* row = scaled->Row(int(y));
        for (int64_t x = firstColumn; x < endColumn; ++x) {
            const uint8_t* p = row + 4 * x;
            // The logo's own transparency and the stamp's opacity together.
            const auto alpha = uint8_t((p[3] * opacity + 127) / 255);
            LayOver(raster, int(place.x + x), int(place.y + y), RGB(p[2], p[1], p[0]), 255, alpha);
        }
    }
}

TFont TextFont(const TBitmap& target, const TOverlaySnapshot& stamp)
{
    return StampFont(*stamp.Font, stamp.Style.RelativeSize, target.Height());
}

TStampBox TextBox(const TBitmap& target, const TOverlaySnapshot& stamp)
{
    const TFont font = TextFont(target, stamp);
    const TTextExtent extent = MeasureText(stamp.Text, font);
    // At the bottom the text's top lies Border + |font height| above the
    // bottom edge: for a font chosen by size (negative height) the cell's
    // descent reaches below that, as it always has.
    const int32_t fromBottom = CheckedInt32(int64_t(stamp.Border) + std::abs(int64_t(font.Height)));
    const TStampPoint place =
        StampPlace(stamp.Align, stamp.Border, target.Width(), target.Height(), extent.width, extent.height, fromBottom);
    return {place, extent.width, extent.height};
}

void DrawStampText(TBitmap& target, const TOverlaySnapshot& stamp, const TStampBox& box)
{
    TCanvas& canvas = target.Canvas();
    canvas.AssignFont(TextFont(target, stamp));
    canvas.Brush.Color = stamp.Style.Box == kBoxColour ? stamp.Style.BoxColor : clWhite;
    canvas.Brush.Style = stamp.Style.Box == kBoxNone ? TBrushStyle::bsClear : TBrushStyle::bsSolid;
    canvas.DrawTextAt(box.place.x, box.place.y, stamp.Text, OpacityByte(stamp.Style.Opacity));
}

// -1 near edge, 1 far edge, 0 centred: the place of one axis's flags.
int AxisSide(int32_t align, int32_t nearFlag, int32_t farFlag)
{
    const bool nearSet = (align & nearFlag) != 0;
    const bool farSet = (align & farFlag) != 0;
    return nearSet == farSet ? 0 : nearSet ? -1 : 1;
}

bool SameCorner(int32_t a, int32_t b)
{
    return AxisSide(a, kAlignFlagLeft, kAlignFlagRight) == AxisSide(b, kAlignFlagLeft, kAlignFlagRight) &&
           AxisSide(a, kAlignFlagTop, kAlignFlagBottom) == AxisSide(b, kAlignFlagTop, kAlignFlagBottom);
}

// Text and logo at one place: the logo above the text, a border's width
// (at least none) apart, the pair where the one of them would be: at the
// bottom the text keeps its place, at the top the logo does, centred the
// pair is centred.
void StackLogoOverText(TStampBox& logo, TStampBox& text, const TOverlaySnapshot& stamp, int32_t pictureHeight)
{
    const int64_t gap = std::max<int32_t>(0, stamp.Border);
    switch (AxisSide(stamp.Align, kAlignFlagTop, kAlignFlagBottom)) {
    case 1: logo.place.y = CheckedInt32(int64_t(text.place.y) - gap - logo.height); break;
    case -1: text.place.y = CheckedInt32(int64_t(logo.place.y) + logo.height + gap); break;
    default: {
        const int64_t total = int64_t(logo.height) + gap + text.height;
        logo.place.y = CheckedInt32((int64_t(pictureHeight) - total) / 2);
        text.place.y = CheckedInt32(int64_t(logo.place.y) + logo.height + gap);
    }
    }
}

}  // namespace

TStampStyle StampStyleOf(const TCopyrightText& record)
{
    TStampStyle style;
    style.Box = std::clamp(record.Box, kBoxNone, kBoxColour);
    style.BoxColor = ParseColour(record.BoxColor).value_or(clWhite);
    style.Opacity = std::clamp(record.Opacity, kMinOpacity, kMaxOpacity);
    style.RelativeSize = std::clamp(record.RelativeSize, 0, kMaxRelativeSize);
    style.LogoSize = std::clamp(record.LogoSize, kMinLogoSize, kMaxLogoSize);
    style.LogoAlign = record.LogoAlign;
    return style;
}

TOverlaySnapshot SnapshotOverlay(const TCopyrightText& overlay, bool textEnabled,
                                 std::shared_ptr<const TStampLogo> logo)
{
    TOverlaySnapshot snapshot{overlay.Text, overlay.Border,        overlay.Align,
                              std::nullopt, StampStyleOf(overlay), nullptr};
    if (!textEnabled || overlay.Font == nullptr)
        return snapshot;
    if (!overlay.Text.empty())
        snapshot.Font = *overlay.Font;
    snapshot.Logo = std::move(logo);
    return snapshot;
}

TStampPoint StampPlace(int32_t align, int32_t border, int32_t pictureWidth, int32_t pictureHeight, int32_t width,
                       int32_t height, int64_t fromBottom)
{
    const int32_t x = AxisPlace((align & kAlignFlagLeft) != 0, (align & kAlignFlagRight) != 0, border,
                                int32_t((int64_t(pictureWidth) - width) / 2), int64_t(pictureWidth) - border - width);
    const int32_t y = AxisPlace((align & kAlignFlagTop) != 0, (align & kAlignFlagBottom) != 0, border,
                                int32_t((int64_t(pictureHeight) - height) / 2), int64_t(pictureHeight) - fromBottom);
    return {x, y};
}

TFont StampFont(const TFont& font, int32_t relativeSize, int32_t pictureHeight)
{
    TFont sized = font;
    if (relativeSize > 0)
        sized.Height = std::max<int32_t>(1, int32_t(std::lround(double(pictureHeight) * relativeSize / 100.0)));
    return sized;
}

void DrawStamp(TBitmap& target, const TOverlaySnapshot& stamp)
{
    if (target.Empty())
        return;
    const bool text = stamp.Font && !stamp.Text.empty();
    std::optional<TStampBox> logoBox;
    if (stamp.Logo)
        logoBox = LogoBox(target, stamp);
    if (!text) {
        if (logoBox)
            DrawStampLogo(target, stamp, *logoBox);
        return;
    }
    TStampBox textBox = TextBox(target, stamp);
    if (logoBox && SameCorner(stamp.Align, stamp.Style.LogoAlign))
        StackLogoOverText(*logoBox, textBox, stamp, target.Height());
    if (logoBox)
        DrawStampLogo(target, stamp, *logoBox);
    DrawStampText(target, stamp, textBox);
}

}  // namespace corvalin

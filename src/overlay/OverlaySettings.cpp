#include "overlay/OverlaySettings.h"

#include "common/Tools.h"

namespace corvalin {

namespace {

int32_t AxisFlag(int32_t align, int32_t nearFlag, int32_t farFlag)
{
    const bool nearSet = (align & nearFlag) != 0;
    const bool farSet = (align & farFlag) != 0;
    return nearSet == farSet ? 0 : nearSet ? nearFlag : farFlag;
}

}  // namespace

int32_t BorderValue(const std::string& text)
{
    return ParseInteger(text).value_or(0);
}

int32_t NormalisedAlign(int32_t align)
{
    return AxisFlag(align, kAlignFlagLeft, kAlignFlagRight) | AxisFlag(align, kAlignFlagTop, kAlignFlagBottom);
}

void LoadOverlaySettings(TOverlayControls& controls, const TCopyrightText& record)
{
    controls.Text = record.Text;
    controls.BorderText = std::to_string(record.Border);
    controls.Position = NormalisedAlign(record.Align);
    controls.ColorText = record.Color;
    controls.Box = record.Box;
    controls.BoxColorText = record.BoxColor;
    controls.Opacity = record.Opacity;
    controls.RelativeSize = record.RelativeSize;
    controls.Logo = record.Logo;
    controls.LogoSize = record.LogoSize;
    controls.LogoPosition = NormalisedAlign(record.LogoAlign);
}

void StoreOverlaySettings(const TOverlayControls& controls, const TFont* textFont,
                          TCopyrightText& record)
{
    record.Text = controls.Text;
    record.Font = textFont;
    if (textFont != nullptr)
        record.ChosenFont = *textFont;
    record.Border = BorderValue(controls.BorderText);
    record.Align = controls.Position;
    record.Color = controls.ColorText;
    record.Box = controls.Box;
    record.BoxColor = controls.BoxColorText;
    record.Opacity = controls.Opacity;
    record.RelativeSize = controls.RelativeSize;
    record.Logo = controls.Logo;
    record.LogoSize = controls.LogoSize;
    record.LogoAlign = controls.LogoPosition;
}

}  // namespace corvalin

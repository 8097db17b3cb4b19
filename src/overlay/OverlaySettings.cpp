#include "overlay/OverlaySettings.h"

#include "common/Tools.h"

namespace corvalin {

int32_t BorderValue(const std::string& text)
{
    return ParseInteger(text).value_or(0);
}

void LoadOverlaySettings(TOverlayControls& controls, const TCopyrightText& record)
{
    controls.Text = record.Text;
    controls.BorderText = std::to_string(record.Border);
    controls.Position = (record.Align & kAlignFlagBottom) != 0 ? 1 : 0;
}

void StoreOverlaySettings(const TOverlayControls& controls, const TFont* textFont,
                          TCopyrightText& record)
{
    record.Text = controls.Text;
    record.Font = textFont;
    record.Border = BorderValue(controls.BorderText);
    record.Align = controls.Position == 0 ? kAlignTopLeft : kAlignBottomLeft;
}

}  // namespace corvalin

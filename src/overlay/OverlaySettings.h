// Transfer of the overlay record into the overlay dialog's controls and back.
// The Qt dialog and the console front end both use these rules.
#pragma once

#include <cstdint>
#include <string>

#include "overlay/CopyrightText.h"

namespace corvalin {

// What the dialog's controls hold.
struct TOverlayControls {
    std::string Text = "Beispieltext";  // edtText
    std::string BorderText = "20";      // edtBorder, a spin box's text
    int Position = kAlignTopLeft;       // the 3 x 3 place of the text, as placement flags
    std::string ColorText = "#000000";  // the text's colour as chosen with the font
    int Box = kBoxWhite;                // none, white or a colour
    std::string BoxColorText = "#FFFFFF";
    int Opacity = kMaxOpacity;
    int RelativeSize = 0;
    std::string Logo;
    int LogoSize = 20;
    int LogoPosition = kAlignBottomRight;
};

// One placement flag on an axis stays, none or both become none (centred).
int32_t NormalisedAlign(int32_t align);

// record -> controls: text, border in decimal, the places normalised, the
// look as it is (checked when a run starts). The font is not transferred.
void LoadOverlaySettings(TOverlayControls& controls, const TCopyrightText& record);

// controls -> record: text, font (a reference to the dialog's text font,
// also kept as the stored font), border (a text that is no whole number
// counts as 0), the places and the look.
void StoreOverlaySettings(const TOverlayControls& controls, const TFont* textFont,
                          TCopyrightText& record);

// The value of the border box: its text as a signed whole number, else 0.
int32_t BorderValue(const std::string& text);

}  // namespace corvalin

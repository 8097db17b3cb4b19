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
    int Position = 0;                    // rdbPosition: 0 "links oben", 1 "links unten"
};

// record -> controls: text, border in decimal, "links unten" when Align has
// the flag 8. The font is not transferred.
void LoadOverlaySettings(TOverlayControls& controls, const TCopyrightText& record);

// controls -> record: text, font (a reference to the dialog's text font),
// border (a text that is no whole number counts as 0), Align 5 or 9.
void StoreOverlaySettings(const TOverlayControls& controls, const TFont* textFont,
                          TCopyrightText& record);

// The value of the border box: its text as a signed whole number, else 0.
int32_t BorderValue(const std::string& text);

}  // namespace corvalin

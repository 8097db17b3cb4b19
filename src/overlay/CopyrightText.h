// The overlay record: the line of text and the logo that the conversion
// stamps into every picture, where, and how.
#pragma once

#include <cstdint>
#include <string>

#include "picture/Font.h"

namespace corvalin {

// Placement flags of the text and the logo: one flag on an axis puts the
// stamp at that edge, none (or both) centres it on that axis.
inline constexpr int32_t kAlignFlagLeft = 1;
inline constexpr int32_t kAlignFlagRight = 2;
inline constexpr int32_t kAlignFlagTop = 4;
inline constexpr int32_t kAlignFlagBottom = 8;
inline constexpr int32_t kAlignTopLeft = kAlignFlagTop + kAlignFlagLeft;          // 5
inline constexpr int32_t kAlignBottomLeft = kAlignFlagBottom + kAlignFlagLeft;    // 9
inline constexpr int32_t kAlignBottomRight = kAlignFlagBottom + kAlignFlagRight;  // 10

// The box behind the text.
inline constexpr int32_t kBoxNone = 0;
inline constexpr int32_t kBoxWhite = 1;
inline constexpr int32_t kBoxColour = 2;

// The ranges of the stamp's numbers.
inline constexpr int32_t kMinOpacity = 1;
inline constexpr int32_t kMaxOpacity = 100;
inline constexpr int32_t kMaxRelativeSize = 50;
inline constexpr int32_t kMinLogoSize = 1;
inline constexpr int32_t kMaxLogoSize = 100;
inline constexpr int32_t kMaxStoredFontPixels = 1000;

// The overlay record: one line of text and a logo stamped into every
// converted picture.
//
// Font is a NON-OWNING pointer. It stays null until the overlay dialog has
// stored the record once (StoreOverlaySettings); from then on it points at
// the dialog's text font, which lives as long as the dialog, i.e. until the
// program ends. Copying the record copies the pointer, never the font.
// While Font is null the conversion stamps nothing.
//
// The values after Font are what the store holds; they are checked when a
// run starts (StampRefusal), so a value out of its range is kept as it came.
struct TCopyrightText {
    std::string Text;              // the line to stamp; empty means none
    int32_t Border = 0;            // distance in pixels from the edges the stamp is placed at
    int32_t Align = kAlignBottomLeft;
    const TFont* Font = nullptr;   // not owned; see above
    // The font as stored (face, size, style); the dialog and the console
    // take it as their text font. Its colour follows Color.
    TFont ChosenFont{};
    std::string Color = "#000000";  // the text's colour, #RRGGBB
    int32_t Box = kBoxWhite;
    std::string BoxColor = "#FFFFFF";  // the box's colour with kBoxColour
    int32_t Opacity = kMaxOpacity;     // percent, text, box and logo alike
    int32_t RelativeSize = 0;          // text height in percent of the result's; 0: the font's size
    std::string Logo{};                // a picture file; empty: no logo
    int32_t LogoSize = 20;             // logo width in percent of the result's
    int32_t LogoAlign = kAlignBottomRight;
};

}  // namespace corvalin

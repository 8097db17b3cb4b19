// The overlay record: the line of text that the conversion stamps into every
// picture, and where.
#pragma once

#include <cstdint>
#include <string>

#include "picture/Font.h"

namespace corvalin {

// Placement flags of the overlay text. The program writes only
// kAlignTopLeft and kAlignBottomLeft; drawing tests kAlignFlagTop, the
// overlay dialog tests kAlignFlagBottom.
inline constexpr int32_t kAlignFlagLeft = 1;
inline constexpr int32_t kAlignFlagTop = 4;
inline constexpr int32_t kAlignFlagBottom = 8;
inline constexpr int32_t kAlignTopLeft = kAlignFlagTop + kAlignFlagLeft;        // 5
inline constexpr int32_t kAlignBottomLeft = kAlignFlagBottom + kAlignFlagLeft;  // 9

// The overlay record: one line of text stamped into every converted picture.
//
// Font is a NON-OWNING pointer. It stays null until the overlay dialog has
// stored the record once (StoreOverlaySettings); from then on it points at
// the dialog's text font, which lives as long as the dialog, i.e. until the
// program ends. Copying the record copies the pointer, never the font.
// While Font is null the conversion stamps nothing.
struct TCopyrightText {
    std::string Text;              // the line to stamp; empty means none
    int32_t Border = 0;            // distance in pixels from the left and top/bottom edge
    int32_t Align = kAlignBottomLeft;
    const TFont* Font = nullptr;   // not owned; see above
};

}  // namespace corvalin

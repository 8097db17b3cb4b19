// Font and brush of a drawing surface.
#pragma once

#include <cstdint>
#include <string>

#include "picture/Color.h"

namespace corvalin {

enum class TFontPitch { fpDefault, fpVariable, fpFixed };

struct TFont {
    std::string Name = "MS Sans Serif";
    // Negative: em size in pixels (character height without internal leading);
    // positive: full cell height (ascent + descent).
    int32_t Height = -11;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    uint8_t Charset = 1;  // default character set
    TFontPitch Pitch = TFontPitch::fpDefault;
    TColor Color = clBlack;

    bool operator==(const TFont&) const = default;
};

enum class TBrushStyle { bsSolid, bsClear };

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = TBrushStyle::bsSolid;
};

}  // namespace corvalin

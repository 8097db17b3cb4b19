// One line of text through FreeType, with faces located by fontconfig.
#pragma once

#include <cstdint>
#include <string>

#include "picture/Font.h"
#include "picture/Raster.h"

namespace corvalin {

struct TTextExtent {
    int width = 0;   // sum of the advances
    int height = 0;  // cell height: ascent + descent
    int ascent = 0;
};

TTextExtent MeasureText(const std::string& text, const TFont& font);

// Fills the line's character cell with the brush (when solid), then draws the
// glyphs in the font colour with the cell's top-left corner at (x, y).
// Anti-aliased on 24- and 32-bit rasters, nearest colour on the others; box
// and glyphs lie over the picture at `opacity` (see LayOver).
void DrawText(TRaster& raster, int x, int y, const std::string& text, const TFont& font, const TBrush& brush,
              uint8_t opacity = 255);

}  // namespace corvalin

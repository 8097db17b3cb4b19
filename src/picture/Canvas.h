// The drawing surface of a bitmap.
#pragma once

#include <string>

#include "picture/Color.h"
#include "picture/Font.h"
#include "picture/Graphic.h"

namespace corvalin {

class TCanvas {
public:
    explicit TCanvas(TBitmap& owner) : owner_(owner) {}

    TFont Font;
    TBrush Brush;

    // Colour of the pixel, or kInvalidColor outside the picture.
    TColor ReadPixel(int x, int y) const;
    // Sets the pixel to the nearest representable colour; ignored outside.
    void WritePixel(int x, int y, TColor color);

    void DrawStretched(const TRect& rect, const TGraphic& picture);
    void DrawPictureAt(int x, int y, const TGraphic& picture);
    void DrawTextAt(int x, int y, const std::string& text);
    void AssignFont(const TFont& font) { Font = font; }

    TBitmap& Owner() { return owner_; }

private:
    TBitmap& owner_;
};

}  // namespace corvalin

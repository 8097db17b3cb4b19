// The drawing surface of a bitmap.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture/Color.h"
#include "picture/Font.h"
#include "picture/Graphic.h"
#include "picture/Raster.h"
#include "picture/Shapes.h"

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
    // Box (the brush, when solid) and glyphs at opacity 0..255.
    void DrawTextAt(int x, int y, const std::string& text, uint8_t opacity = 255);
    void AssignFont(const TFont& font) { Font = font; }

    // Shapes and rasters below are drawn only inside every one of these
    // outlines (text ignores them); none means the whole picture.
    std::vector<TClip> Clips;

    // Shapes in device pixels, without anti-aliasing. A clear brush or pen draws nothing.
    void FillPath(const TShapePath& path, const TBrush& brush, TFillRule rule);
    void StrokePath(const TShapePath& path, const TPen& pen);
    // Draws the part of a raster scaled into the rectangle between two corners
    // (nearest neighbour); a corner left of or below the other mirrors it.
    void DrawRasterPart(const TRaster& source, const TRect& part, TPointF corner, TPointF oppositeCorner);

    TBitmap& Owner() { return owner_; }

private:
    friend class TStrokeStream;
    // The owner's raster, unshared for a change; null for an empty picture.
    TRaster* DrawableRaster();

    TBitmap& owner_;
};

}  // namespace corvalin

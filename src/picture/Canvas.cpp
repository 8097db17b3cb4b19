#include "picture/Canvas.h"

#include "common/Exceptions.h"
#include "picture/Bitmap.h"
#include "picture/TextRenderer.h"

namespace corvalin {

namespace {

bool Inside(const TBitmap& bitmap, int x, int y)
{
    return !bitmap.Empty() && x >= 0 && y >= 0 && x < bitmap.Width() && y < bitmap.Height();
}

}  // namespace

// The surface of a custom-layout raster cannot be drawn on.
TRaster* TCanvas::DrawableRaster()
{
    if (owner_.Empty())
        return nullptr;
    if (owner_.PixelFormat() == TPixelFormat::pfCustom)
        throw EInvalidOperation(msg::NoCanvas);
    return &owner_.MutableRaster();
}

TColor TCanvas::ReadPixel(int x, int y) const
{
    if (!Inside(owner_, x, y))
        return kInvalidColor;
    return ReadRasterPixel(*owner_.Raster(), x, y);
}

void TCanvas::WritePixel(int x, int y, TColor color)
{
    if (!Inside(owner_, x, y))
        return;
    WriteRasterPixel(owner_.MutableRaster(), x, y, color);
}

void TCanvas::DrawStretched(const TRect& rect, const TGraphic& picture)
{
    if (picture.Empty() || DrawableRaster() == nullptr)
        return;
    picture.Draw(*this, rect);
}

void TCanvas::DrawPictureAt(int x, int y, const TGraphic& picture)
{
    DrawStretched(TRect{x, y, x + picture.Width(), y + picture.Height()}, picture);
}

void TCanvas::DrawTextAt(int x, int y, const std::string& text, uint8_t opacity)
{
    TRaster* raster = DrawableRaster();
    if (raster == nullptr || text.empty())
        return;
    DrawText(*raster, x, y, text, Font, Brush, opacity);
}

}  // namespace corvalin

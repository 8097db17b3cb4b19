#include "picture/LayOver.h"

#include "picture/Backdrop.h"

namespace corvalin {

namespace {

uint8_t Mix(uint8_t fg, uint8_t bg, uint8_t weight)
{
    return uint8_t((fg * weight + bg * (255 - weight) + 127) / 255);
}

TColor MixColours(TColor fg, TColor bg, uint8_t weight)
{
    return RGB(Mix(RedOf(fg), RedOf(bg), weight), Mix(GreenOf(fg), GreenOf(bg), weight),
               Mix(BlueOf(fg), BlueOf(bg), weight));
}

// What the pixel shows: over the backdrop when the raster has alpha.
TColor VisibleColour(const TRaster& raster, int x, int y)
{
    const TColor color = ReadRasterPixel(raster, x, y);
    if (!raster.hasAlpha)
        return color;
    return MixColours(color, kBackdropColor, raster.Row(y)[4 * x + 3]);
}

// Straight-alpha "over": the result's alpha is o + a (1 - o), its colour the
// two colours weighted by their share of it.
void CompositeOverAlpha(TRaster& raster, int x, int y, TColor color, uint8_t opacity)
{
    uint8_t* pixel = raster.Row(y) + 4 * x;
    const int under = pixel[3];
    const int below = under * (255 - opacity);  // share of the old pixel, in 255ths squared
    const int total = opacity * 255 + below;
    if (total == 0)
        return;
    const uint8_t components[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
    for (int i = 0; i < 3; ++i)
        pixel[i] = uint8_t((components[i] * opacity * 255 + pixel[i] * below + total / 2) / total);
    pixel[3] = uint8_t((total + 127) / 255);
}

}  // namespace

bool MixesColours(const TRaster& raster)
{
    return raster.bitsPerPixel == 24 ||
           (raster.bitsPerPixel == 32 && !(raster.format == TPixelFormat::pfCustom && raster.HasMasks()));
}

void LayOver(TRaster& raster, int x, int y, TColor color, uint8_t coverage, uint8_t opacity)
{
    if (coverage == 0 || opacity == 0 || x < 0 || y < 0 || x >= raster.width || y >= raster.height)
        return;
    TColor covered = color;
    if (!MixesColours(raster)) {
        if (coverage < 128)
            return;
    } else if (coverage < 255) {
        covered = MixColours(color, VisibleColour(raster, x, y), coverage);
    }
    if (opacity == 255) {
        WriteRasterPixel(raster, x, y, covered);
    } else if (raster.hasAlpha) {
        CompositeOverAlpha(raster, x, y, covered, opacity);
    } else {
        WriteRasterPixel(raster, x, y, MixColours(covered, ReadRasterPixel(raster, x, y), opacity));
    }
}

}  // namespace corvalin

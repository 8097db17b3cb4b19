#include "picture/Backdrop.h"

namespace corvalin {

bool HasTransparentPixel(const TRaster& raster)
{
    if (!raster.hasAlpha)
        return false;
    for (int y = 0; y < raster.height; ++y) {
        const uint8_t* p = raster.Row(y);
        for (int x = 0; x < raster.width; ++x)
            if (p[4 * x + 3] != 255)
                return true;
    }
    return false;
}

void MarkAlphaWhenTransparent(TRaster& raster)
{
    raster.hasAlpha = raster.bitsPerPixel == 32 && !raster.HasMasks();
    raster.hasAlpha = HasTransparentPixel(raster);
}

void CompositeRowOverBackdrop(const uint8_t* bgra, int width, uint8_t* bgr)
{
    constexpr uint8_t backdrop[3] = {BlueOf(kBackdropColor), GreenOf(kBackdropColor), RedOf(kBackdropColor)};
    for (int x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const uint8_t a = bgra[3];
        for (int c = 0; c < 3; ++c)
            bgr[c] = OverBackdrop(bgra[c], a, backdrop[c]);
    }
}

const TRaster& WithoutAlpha(const TRaster& raster, std::optional<TRaster>& flattened)
{
    if (!raster.hasAlpha)
        return raster;
    TRaster& copy = flattened.emplace(raster);
    copy.hasAlpha = false;
    constexpr uint8_t backdrop[3] = {BlueOf(kBackdropColor), GreenOf(kBackdropColor), RedOf(kBackdropColor)};
    for (int y = 0; y < copy.height; ++y) {
        uint8_t* p = copy.Row(y);
        for (int x = 0; x < copy.width; ++x, p += 4) {
            for (int c = 0; c < 3; ++c)
                p[c] = OverBackdrop(p[c], p[3], backdrop[c]);
            p[3] = 0;  // the fourth byte of an opaque 32-bit pixel
        }
    }
    return copy;
}

}  // namespace corvalin

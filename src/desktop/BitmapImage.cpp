#include "desktop/BitmapImage.h"

#include "picture/Bitmap.h"
#include "picture/RowCodec.h"

#include <vector>

namespace corvalin {

namespace {

// Transparent parts show over a light checkerboard of squares this wide.
constexpr int kSquare = 8;
constexpr uint8_t kLightSquare = 255;
constexpr uint8_t kDarkSquare = 214;

void RowOverCheckerboard(const TRaster& raster, int y, uint8_t* bgr)
{
    thread_local std::vector<uint8_t> bgra;
    bgra.resize(size_t(raster.width) * 4);
    DecodeRowToBgra(raster, y, bgra.data());
    for (int x = 0; x < raster.width; ++x) {
        const uint8_t* p = &bgra[4 * size_t(x)];
        const int shade = (x / kSquare + y / kSquare) % 2 != 0 ? kDarkSquare : kLightSquare;
        for (int c = 0; c < 3; ++c)
            bgr[3 * x + c] = uint8_t((p[c] * p[3] + shade * (255 - p[3]) + 127) / 255);
    }
}

}  // namespace

QImage ToQImage(const TBitmap& picture)
{
    const TRaster* raster = picture.Raster();
    if (raster == nullptr || raster->width <= 0 || raster->height <= 0)
        return {};
    QImage image(raster->width, raster->height, QImage::Format_BGR888);
    if (image.isNull())
        return {};
    const bool transparent = raster->hasAlpha || raster->transparentIndex >= 0;
    for (int y = 0; y < raster->height; ++y) {
        if (transparent)
            RowOverCheckerboard(*raster, y, image.scanLine(y));
        else
            DecodeRowToBgr(*raster, y, image.scanLine(y));
    }
    // Format_BGR888 keeps each pixel as the bytes B, G, R: the rows as decoded.
    return image;
}

}  // namespace corvalin

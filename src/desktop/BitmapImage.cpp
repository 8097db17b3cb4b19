#include "desktop/BitmapImage.h"

#include "picture/Bitmap.h"
#include "picture/RowCodec.h"

namespace corvalin {

QImage ToQImage(const TBitmap& picture)
{
    const TRaster* raster = picture.Raster();
    if (raster == nullptr || raster->width <= 0 || raster->height <= 0)
        return {};
    QImage image(raster->width, raster->height, QImage::Format_BGR888);
    if (image.isNull())
        return {};
    for (int y = 0; y < raster->height; ++y)
        DecodeRowToBgr(*raster, y, image.scanLine(y));
    // Format_BGR888 keeps each pixel as the bytes B, G, R: the rows as decoded.
    return image;
}

}  // namespace corvalin

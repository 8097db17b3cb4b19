#include "picture/RgbRows.h"

#include <vector>

#include "picture/RowCodec.h"

namespace corvalin {

void RowToRgb(const TRaster& raster, int y, uint8_t* out, bool withAlpha)
{
    const size_t width = size_t(raster.width);
    if (raster.hasAlpha) {
        const uint8_t* bgra = raster.Row(y);
        for (size_t x = 0; x < width; ++x, bgra += 4) {
            *out++ = bgra[2];
            *out++ = bgra[1];
            *out++ = bgra[0];
            if (withAlpha)
                *out++ = bgra[3];
        }
        return;
    }
    std::vector<uint8_t> scratch(raster.bitsPerPixel == 24 ? 0 : width * 3);
    const uint8_t* bgr = RowAsBgr(raster, y, scratch.data());
    for (size_t x = 0; x < width; ++x, bgr += 3) {
        *out++ = bgr[2];
        *out++ = bgr[1];
        *out++ = bgr[0];
        if (withAlpha)
            *out++ = 255;
    }
}

void RowFromRgb(TRaster& raster, int y, const uint8_t* in)
{
    const size_t channels = raster.bitsPerPixel == 32 ? 4 : 3;
    uint8_t* row = raster.Row(y);
    for (int x = 0; x < raster.width; ++x, in += channels, row += channels) {
        row[0] = in[2];
        row[1] = in[1];
        row[2] = in[0];
        if (channels == 4)
            row[3] = in[3];
    }
}

}  // namespace corvalin

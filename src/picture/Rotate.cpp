#include "picture/Rotate.h"

#include <algorithm>
#include <vector>

#include "picture/RowCodec.h"

namespace corvalin {

namespace {

constexpr int kBand = 32;  // source rows decoded and spread at a time

bool CanTakeBgrDirectly(const TRaster& raster)
{
    return raster.bitsPerPixel == 24;
}

}  // namespace

void RotateQuarterClockwise(const TBitmap& source, TBitmap& target)
{
    const int sw = source.Width(), sh = source.Height();
    target.SetPictureWidth(sh);
    target.SetPictureHeight(sw);
    if (source.Empty() || target.Empty())
        return;

    const TRaster& src = *source.Raster();
    TRaster& dst = target.MutableRaster();
    const bool direct = CanTakeBgrDirectly(dst);
    // Rows of the target in BGR when they cannot be written in place.
    std::vector<uint8_t> staged = direct ? std::vector<uint8_t>() : std::vector<uint8_t>(size_t(sh) * sw * 3);
    std::vector<uint8_t> band(size_t(kBand) * sw * 3);

    for (int y0 = 0; y0 < sh; y0 += kBand) {
        const int rows = std::min(kBand, sh - y0);
        for (int k = 0; k < rows; ++k)
            DecodeRowToBgr(src, y0 + k, band.data() + size_t(k) * sw * 3);
        // Source row sy becomes target column sh - 1 - sy, top to bottom.
        for (int sx = 0; sx < sw; ++sx) {
            uint8_t* row = direct ? dst.Row(sx) : staged.data() + size_t(sx) * sh * 3;
            for (int k = 0; k < rows; ++k) {
                const uint8_t* p = band.data() + (size_t(k) * sw + sx) * 3;
                uint8_t* q = row + size_t(sh - 1 - (y0 + k)) * 3;
                q[0] = p[0];
                q[1] = p[1];
                q[2] = p[2];
            }
        }
    }
    if (!direct)
        for (int y = 0; y < sw; ++y)
            EncodeRowFromBgr(dst, y, staged.data() + size_t(y) * sh * 3);
}

}  // namespace corvalin

// Small builders for the picture tests.
#pragma once

#include <functional>
#include <random>

#include "picture/Bitmap.h"
#include "formats/BitmapEx.h"
#include "picture/Canvas.h"
#include "picture/Stretch.h"

namespace picturetest {

using namespace corvalin;

// A 24-bit picture whose pixels come from colorAt(x, y).
inline void Fill(TBitmap& picture, int width, int height, const std::function<TColor(int, int)>& colorAt)
{
    picture.NewRaster(width, height, TPixelFormat::pf24bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.Canvas().WritePixel(x, y, colorAt(x, y));
}

inline TColor Noise(int x, int y)
{
    const uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u;
    return (h * 2654435761u) & 0xFFFFFF;
}

inline bool SamePixels(TBitmap& a, TBitmap& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Canvas().ReadPixel(x, y) != b.Canvas().ReadPixel(x, y))
                return false;
    return true;
}

// The raster scaled to width x rows, as a conversion scales it, as bytes.
inline std::vector<uint8_t> ScaledRows(const TRaster& raster, int width, int rows)
{
    auto target = TRaster::Create(width, rows, TPixelFormat::pf24bit);
    StretchRaster(*target, TRect{0, 0, width, rows}, raster, std::nullopt);
    return {target->Row(0), target->Row(0) + target->stride * size_t(rows)};
}

}  // namespace picturetest

// Small builders for the picture tests.
#pragma once

#include <functional>
#include <random>

#include "picture/Bitmap.h"
#include "formats/BitmapEx.h"
#include "picture/Canvas.h"

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

}  // namespace picturetest

// Pictures and folders for the engine's tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "formats/BitmapEx.h"
#include "picture/Canvas.h"

// Writes a 24-bit BMP whose pixel (x, y) has the colour pixel(x, y).
inline void WriteTestBmp(const std::string& path, int width, int height,
                         const std::function<corvalin::TColor(int, int)>& pixel)
{
    corvalin::TBitmapEx picture;
    picture.SetPictureWidth(width);
    picture.SetPictureHeight(height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.Canvas().WritePixel(x, y, pixel(x, y));
    picture.SaveToFileEx(path, 85);
}

inline void WriteSolidBmp(const std::string& path, int width, int height,
                          corvalin::TColor color = corvalin::RGB(10, 20, 30))
{
    WriteTestBmp(path, width, height, [color](int, int) { return color; });
}

inline corvalin::TColor PixelOf(const std::string& path, int x, int y)
{
    corvalin::TBitmapEx picture;
    picture.LoadFromFileEx(path);
    return picture.Canvas().ReadPixel(x, y);
}

// Shared by the PCX, PSD and Photo CD reader tests: comparing a loaded
// picture with an independent decoder's pixels, and catching messages.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "common/Exceptions.h"
#include "formats/BitmapEx.h"
#include "picture/Raster.h"

namespace readertest {

// Pixels whose red, green or blue differ by more than `tolerance`.
inline int DifferingPixels(const corvalin::TBitmap& picture, const testsupport::RgbPicture& reference,
                           int tolerance = 0)
{
    EXPECT_EQ(picture.Width(), reference.width);
    EXPECT_EQ(picture.Height(), reference.height);
    if (picture.Width() != reference.width || picture.Height() != reference.height || picture.Empty())
        return -1;
    int differing = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x) {
            const corvalin::TColor c = corvalin::ReadRasterPixel(*picture.Raster(), x, y);
            const uint32_t r = reference.At(x, y);
            const int dr = std::abs(int(corvalin::RedOf(c)) - int(r >> 16 & 0xFF));
            const int dg = std::abs(int(corvalin::GreenOf(c)) - int(r >> 8 & 0xFF));
            const int db = std::abs(int(corvalin::BlueOf(c)) - int(r & 0xFF));
            if (std::max({dr, dg, db}) > tolerance)
                ++differing;
        }
    return differing;
}

// The message of the exception a load raises; empty when it succeeds.
inline std::string LoadError(const std::string& path)
{
    corvalin::TBitmapEx picture;
    try {
        picture.LoadFromFileEx(path);
    } catch (const corvalin::Exception& e) {
        return e.Message();
    }
    return "";
}

inline void Put16LE(std::vector<uint8_t>& out, size_t at, uint16_t v)
{
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}

}  // namespace readertest

// Checks shared by the camera and web format tests: pictures decoded by the
// formats' reference tools (to PNG, read by Pillow with their opacity), and
// how far a loaded picture lies from them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "picture/RowSampling.h"
#include "TestSupport.h"
#include "formats/BitmapEx.h"
#include "picture/RgbRows.h"

namespace camera {

using testsupport::MaxDifference;
using testsupport::Psnr;
using testsupport::RgbaPicture;

// Any file Pillow reads, as 8-bit RGBA (opaque where it has no opacity).
inline RgbaPicture DecodeRgba(const std::string& path)
{
    return testsupport::DecodeRgbaWithPillow(path);
}

inline RgbaPicture RgbaOf(const corvalin::TBitmap& picture)
{
    RgbaPicture out{picture.Width(), picture.Height(), {}};
    out.rgba.resize(size_t(out.width) * size_t(out.height) * 4);
    for (int y = 0; y < out.height; ++y)
        corvalin::RowToRgb(*picture.Raster(), y, out.rgba.data() + size_t(y) * size_t(out.width) * 4, true);
    return out;
}

// A picture of the given pixels: with opacity as a 32-bit raster that has
// alpha, without as a 24-bit one.
inline void Adopt(corvalin::TBitmap& picture, const RgbaPicture& pixels, bool alpha)
{
    using namespace corvalin;
    auto raster = TRaster::Create(pixels.width, pixels.height, alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
    raster->hasAlpha = alpha;
    std::vector<uint8_t> rgb(size_t(pixels.width) * 3);
    for (int y = 0; y < pixels.height; ++y) {
        const uint8_t* in = pixels.rgba.data() + size_t(y) * size_t(pixels.width) * 4;
        if (alpha) {
            RowFromRgb(*raster, y, in);
            continue;
        }
        for (int x = 0; x < pixels.width; ++x)
            std::copy_n(in + 4 * x, 3, rgb.data() + 3 * x);
        RowFromRgb(*raster, y, rgb.data());
    }
    picture.AdoptRaster(std::move(raster));
}

// The largest difference between the rows of `sampled` and the rows of
// `whole` that nearest scaling to sampled's height takes.
inline int MaxSampledRowDifference(const RgbaPicture& whole, const RgbaPicture& sampled)
{
    if (whole.width != sampled.width || sampled.height <= 0 || sampled.height > whole.height)
        return 256;
    const size_t rowBytes = size_t(whole.width) * 4;
    int largest = 0;
    for (int t = 0; t < sampled.height; ++t) {
        const size_t row = size_t(corvalin::SampledPosition(t, sampled.height, whole.height)) * rowBytes;
        for (size_t i = 0; i < rowBytes; ++i)
            largest = std::max(largest, std::abs(whole.rgba[row + i] - sampled.rgba[size_t(t) * rowBytes + i]));
    }
    return largest;
}

inline std::vector<uint8_t> AlphaOf(const RgbaPicture& picture)
{
    std::vector<uint8_t> alpha;
    for (size_t i = 3; i < picture.rgba.size(); i += 4)
        alpha.push_back(picture.rgba[i]);
    return alpha;
}

// Runs a reference tool that makes files, once per build; fails the test when it fails.
inline void Tool(const std::string& command)
{
    testsupport::RunToolOnce(command);
}

// A photograph-like test picture (smooth areas and edges) as PNG, with a
// graded opacity when asked.
inline void MakeSource(const std::string& path, int width, int height, bool alpha)
{
    const std::string script =
        "import math, sys\nfrom PIL import Image\nw, h = " + std::to_string(width) + ", " + std::to_string(height) +
        "\nim = Image.new('RGBA', (w, h))\n"
        "im.putdata([(int(127 + 120 * math.sin(x / 7.0)), (x * 255 // max(w - 1, 1)),"
        " (y * 255 // max(h - 1, 1)) ^ (40 if (x // 16 + y // 16) % 2 else 0), " +
        (alpha ? std::string("(x + y) * 255 // max(w + h - 2, 1)") : std::string("255")) +
        ") for y in range(h) for x in range(w)])\n" + (alpha ? "" : "im = im.convert('RGB')\n") +
        "im.save(sys.argv[1])\n";
    testsupport::RunToolOnce("/usr/bin/python3 -c " + testsupport::Quote(script) + " " + testsupport::Quote(path));
}

}  // namespace camera

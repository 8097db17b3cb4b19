// Colour from the BT.601 YCbCr samples that photograph codecs decode to,
// for readers that convert only the pixels they deliver.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace corvalin {

class TBt601Colours {
public:
    // Full range: every sample 0..255; limited: luma 16..235, chroma 16..240.
    explicit TBt601Colours(bool fullRange)
    {
        // Red and blue weigh 0.299 and 0.114 in BT.601's luma.
        constexpr double kr = 0.299, kb = 0.114, kg = 1 - kr - kb;
        const double lumaScale = fullRange ? 1.0 : 255.0 / 219.0;
        const double chromaScale = fullRange ? 1.0 : 255.0 / 224.0;
        for (int v = 0; v < 256; ++v) {
            const auto at = size_t(v);
            luma_[at] = (v - (fullRange ? 0 : 16)) * lumaScale;
            const double c = (v - 128) * chromaScale;
            redOfCr_[at] = 2 * (1 - kr) * c;
            blueOfCb_[at] = 2 * (1 - kb) * c;
            greenOfCb_[at] = -2 * kb * (1 - kb) / kg * c;
            greenOfCr_[at] = -2 * kr * (1 - kr) / kg * c;
        }
    }

    // Blue, green and red of one pixel, rounded to the nearest level.
    void ToBgr(uint8_t y, uint8_t cb, uint8_t cr, uint8_t* bgr) const
    {
        const double luma = luma_[y];
        bgr[0] = Level(luma + blueOfCb_[cb]);
        bgr[1] = Level(luma + greenOfCb_[cb] + greenOfCr_[cr]);
        bgr[2] = Level(luma + redOfCr_[cr]);
    }

private:
    static uint8_t Level(double value) { return uint8_t(std::clamp(std::lround(value), 0L, 255L)); }

    // Each sample's share, looked up rather than worked out per pixel.
    std::array<double, 256> luma_{}, redOfCr_{}, greenOfCb_{}, greenOfCr_{}, blueOfCb_{};
};

}  // namespace corvalin

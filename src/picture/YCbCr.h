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
            luma_[at] = Fixed((v - (fullRange ? 0 : 16)) * lumaScale);
            const double c = (v - 128) * chromaScale;
            redOfCr_[at] = Fixed(2 * (1 - kr) * c);
            blueOfCb_[at] = Fixed(2 * (1 - kb) * c);
            greenOfCb_[at] = Fixed(-2 * kb * (1 - kb) / kg * c);
            greenOfCr_[at] = Fixed(-2 * kr * (1 - kr) / kg * c);
        }
    }

    // Blue, green and red of one pixel, rounded to the nearest level.
    void ToBgr(uint8_t y, uint8_t cb, uint8_t cr, uint8_t* bgr) const
    {
        const int32_t luma = luma_[y] + kHalf;
        bgr[0] = Level(luma + blueOfCb_[cb]);
        bgr[1] = Level(luma + greenOfCb_[cb] + greenOfCr_[cr]);
        bgr[2] = Level(luma + redOfCr_[cr]);
    }

private:
    // The shares are kept in units of 1/65536 of a level.
    static constexpr int kShift = 16;
    static constexpr int32_t kHalf = 1 << (kShift - 1);
    static int32_t Fixed(double value) { return int32_t(std::lround(value * (1 << kShift))); }
    static uint8_t Level(int32_t value) { return uint8_t(std::clamp(value >> kShift, 0, 255)); }

    // Each sample's share, looked up rather than worked out per pixel.
    std::array<int32_t, 256> luma_{}, redOfCr_{}, greenOfCb_{}, greenOfCr_{}, blueOfCb_{};
};

}  // namespace corvalin

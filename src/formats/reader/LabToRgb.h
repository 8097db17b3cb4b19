// CIE L*a*b* to sRGB: L*a*b* relative to the file's white, to XYZ, adapted to
// sRGB's D65 white (Bradford) when the whites differ, then the sRGB matrix
// and transfer curve.
#pragma once

#include <array>
#include <cstdint>

namespace corvalin {

// A white point as CIE xy chromaticity.
struct TChromaticity {
    double x = 0;
    double y = 0;
};

inline constexpr TChromaticity kWhiteD65{0.3127, 0.3290};
inline constexpr TChromaticity kWhiteD50{0.3457, 0.3585};

class TLabToRgb {
public:
    TLabToRgb();
    // A white with y <= 0 or x + y >= 1 is not a colour; D65 stands in for it.
    void SetWhite(const TChromaticity& white);
    TChromaticity White() const { return white_; }

    // L in 0..100, a and b in -128..127; writes red, green, blue.
    void Convert(float l, float a, float b, uint8_t rgb[3]) const;

private:
    TChromaticity white_ = kWhiteD65;
    std::array<double, 3> whiteXyz_{};
    // From XYZ at the file's white to linear sRGB, adaptation included.
    std::array<float, 9> toLinear_{};
    // Linear light in 1/4095 steps to the 8-bit sRGB value.
    std::array<uint8_t, 4096> encode_{};
};

}  // namespace corvalin

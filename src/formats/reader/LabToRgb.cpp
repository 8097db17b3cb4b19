#include "formats/reader/LabToRgb.h"

#include <algorithm>
#include <cmath>

namespace corvalin {

namespace {

using Matrix = std::array<double, 9>;
using Vector = std::array<double, 3>;

Matrix Multiply(const Matrix& a, const Matrix& b)
{
    Matrix r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                r[i * 3 + j] += a[i * 3 + k] * b[k * 3 + j];
    return r;
}

Vector Apply(const Matrix& m, const Vector& v)
{
    return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
            m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
}

constexpr Matrix kBradford = {0.8951, 0.2664, -0.1614, -0.7502, 1.7135, 0.0367, 0.0389, -0.0685, 1.0296};
constexpr Matrix kBradfordInverse = {0.9869929, -0.1470543, 0.1599627, 0.4323053, 0.5183603,
                                     0.0492912, -0.0085287, 0.0400428, 0.9684867};
constexpr Matrix kXyzToLinearSrgb = {3.2404542, -1.5371385, -0.4985314, -0.9692660, 1.8760108,
                                     0.0415560, 0.0556434, -0.2040259, 1.0572252};

Vector WhiteXyz(const TChromaticity& white)
{
    return {white.x / white.y, 1.0, (1.0 - white.x - white.y) / white.y};
}

// Bradford's von Kries scaling in its cone space, from one white to another.
Matrix Adaptation(const Vector& from, const Vector& to)
{
    const Vector coneFrom = Apply(kBradford, from);
    const Vector coneTo = Apply(kBradford, to);
    const Matrix scale = {coneTo[0] / coneFrom[0], 0, 0, 0, coneTo[1] / coneFrom[1], 0,
                          0, 0, coneTo[2] / coneFrom[2]};
    return Multiply(kBradfordInverse, Multiply(scale, kBradford));
}

// The inverse of CIE's f(t) that maps XYZ / white to L*a*b*.
double InverseF(double t)
{
    constexpr double delta = 6.0 / 29.0;
    return t > delta ? t * t * t : 3.0 * delta * delta * (t - 4.0 / 29.0);
}

uint8_t EncodeSrgb(double linear)
{
    const double v = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
    return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

}  // namespace

TLabToRgb::TLabToRgb()
{
    for (size_t i = 0; i < encode_.size(); ++i)
        encode_[i] = EncodeSrgb(double(i) / double(encode_.size() - 1));
    SetWhite(kWhiteD65);
}

void TLabToRgb::SetWhite(const TChromaticity& white)
{
    const bool valid = white.y > 0 && white.x >= 0 && white.x + white.y < 1;
    white_ = valid ? white : kWhiteD65;
    const Vector xyz = WhiteXyz(white_);
    whiteXyz_ = xyz;
    const Matrix m = Multiply(kXyzToLinearSrgb, Adaptation(xyz, WhiteXyz(kWhiteD65)));
    for (size_t i = 0; i < m.size(); ++i)
        toLinear_[i] = float(m[i]);
}

void TLabToRgb::Convert(float l, float a, float b, uint8_t rgb[3]) const
{
    const double fy = (l + 16.0) / 116.0;
    const double x = whiteXyz_[0] * InverseF(fy + a / 500.0);
    const double y = whiteXyz_[1] * InverseF(fy);
    const double z = whiteXyz_[2] * InverseF(fy - b / 200.0);
    constexpr float top = float(std::tuple_size_v<decltype(encode_)> - 1);
    for (int c = 0; c < 3; ++c) {
        const double linear = toLinear_[c * 3] * x + toLinear_[c * 3 + 1] * y + toLinear_[c * 3 + 2] * z;
        rgb[c] = encode_[size_t(std::clamp(linear, 0.0, 1.0) * top + 0.5)];
    }
}

}  // namespace corvalin

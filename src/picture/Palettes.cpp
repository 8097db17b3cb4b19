#include "picture/Palettes.h"

#include <algorithm>
#include <cstdlib>

namespace corvalin {

namespace {

constexpr int kCubeLevels = 6;
constexpr int kGreyCount = 256 - kCubeLevels * kCubeLevels * kCubeLevels;

int SquaredDistance(TColor a, uint8_t r, uint8_t g, uint8_t b)
{
    const int dr = int(RedOf(a)) - r, dg = int(GreenOf(a)) - g, db = int(BlueOf(a)) - b;
    return dr * dr + dg * dg + db * db;
}

constexpr uint8_t GreyLevel(int i)
{
    return uint8_t(((i + 1) * 255 + 20) / (kGreyCount + 1));
}

std::array<TColor, 256> MakeHalftone()
{
    std::array<TColor, 256> palette{};
    int i = 0;
    for (int r = 0; r < kCubeLevels; ++r)
        for (int g = 0; g < kCubeLevels; ++g)
            for (int b = 0; b < kCubeLevels; ++b)
                palette[i++] = RGB(uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51));
    for (int k = 0; k < kGreyCount; ++k) {
        const uint8_t v = GreyLevel(k);
        palette[i++] = RGB(v, v, v);
    }
    return palette;
}

// For the cube the distance separates by axis, so the nearest cube colour
// takes the nearest level on each axis. For the greys the distance is
// 3 (v - mean)^2 + const, so the nearest grey is the one nearest the mean.
struct HalftoneSearch {
    // component -> its cube level times the axis weight (36, 6 or 1) in the
    // low 16 bits and the squared distance to that level above them.
    std::array<uint32_t, 256> cubeRed{}, cubeGreen{}, cubeBlue{};
    // r + g + b -> number of the nearest grey (low byte) and its level.
    std::array<uint16_t, 766> nearestGrey{};

    HalftoneSearch()
    {
        for (int v = 0; v < 256; ++v) {
            const int level = (v + 25) / 51;
            const uint32_t error = uint32_t((v - 51 * level) * (v - 51 * level)) << 16;
            cubeRed[v] = error | uint32_t(level * kCubeLevels * kCubeLevels);
            cubeGreen[v] = error | uint32_t(level * kCubeLevels);
            cubeBlue[v] = error | uint32_t(level);
        }
        for (int sum = 0; sum <= 765; ++sum) {
            int best = 0;
            for (int k = 1; k < kGreyCount; ++k)
                if (std::abs(3 * GreyLevel(k) - sum) < std::abs(3 * GreyLevel(best) - sum))
                    best = k;
            nearestGrey[sum] = uint16_t(best | GreyLevel(best) << 8);
        }
    }

    uint8_t Nearest(int r, int g, int b) const
    {
        // Sums of the packed entries: cube index below, distance above.
        const uint32_t cube = cubeRed[r] + cubeGreen[g] + cubeBlue[b];
        const int cubeDistance = int(cube >> 16);
        const uint16_t grey = nearestGrey[r + g + b];
        const int v = grey >> 8;
        const int greyDistance = (r - v) * (r - v) + (g - v) * (g - v) + (b - v) * (b - v);
        // The cube's lower indexes win a tie.
        return greyDistance < cubeDistance ? uint8_t(216 + (grey & 0xFF)) : uint8_t(cube);
    }
};

const HalftoneSearch& Search()
{
    static const HalftoneSearch search;
    return search;
}

}  // namespace

const std::array<TColor, 16>& FixedPalette16()
{
    static const std::array<TColor, 16> palette = {
        RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
        RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(128, 128, 128),
        RGB(192, 192, 192), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
        RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};
    return palette;
}

const std::array<TColor, 256>& HalftonePalette()
{
    static const std::array<TColor, 256> palette = MakeHalftone();
    return palette;
}

std::vector<TColor> BlackWhitePalette()
{
    return {clBlack, clWhite};
}

uint8_t NearestIndex(std::span<const TColor> palette, TColor color, int skip)
{
    const uint8_t r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
    size_t best = 0;
    int bestDistance = 1 << 30;
    for (size_t i = 0; i < palette.size() && i < 256; ++i) {
        const int d = SquaredDistance(palette[i], r, g, b);
        if (d < bestDistance && int(i) != skip) {
            bestDistance = d;
            best = i;
        }
    }
    return uint8_t(best);
}

uint8_t NearestFixed16(uint8_t r, uint8_t g, uint8_t b)
{
    return NearestIndex(FixedPalette16(), RGB(r, g, b));
}

uint8_t NearestHalftone(uint8_t r, uint8_t g, uint8_t b)
{
    return Search().Nearest(r, g, b);
}

void NearestHalftoneRow(const uint8_t* bgr, int count, uint8_t* indexes)
{
    const HalftoneSearch& s = Search();
    for (int x = 0; x < count; ++x, bgr += 3)
        indexes[x] = s.Nearest(bgr[2], bgr[1], bgr[0]);
}

bool IsHalftonePalette(const std::vector<TColor>& palette)
{
    const auto& halftone = HalftonePalette();
    return palette.size() == halftone.size() && std::equal(palette.begin(), palette.end(), halftone.begin());
}

}  // namespace corvalin

// PNG row filters (filter method 0) and the Adam7 pass geometry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corvalin {

enum TPngFilter : uint8_t { pfNone = 0, pfSub = 1, pfUp = 2, pfAverage = 3, pfPaeth = 4 };
inline constexpr int kPngFilterCount = 5;

// Undoes filter `type` in place. `prior` is the previous unfiltered row of
// the same length (zeros for a first row); bpp is the filter's pixel step.
// Unknown types leave the row as it is.
void UnfilterRow(uint8_t type, uint8_t* row, const uint8_t* prior, size_t count, size_t bpp);

// Writes `raw` filtered with `type` into out.
void FilterRow(TPngFilter type, const uint8_t* raw, const uint8_t* prior, uint8_t* out, size_t count,
               size_t bpp);

// How well a filtered row is expected to compress: positions whose byte
// repeats one of the two bytes before it.
size_t RepetitionScore(const uint8_t* row, size_t count);

struct TAdam7Pass {
    uint32_t x0, y0, dx, dy;
};
inline constexpr std::array<TAdam7Pass, 7> kAdam7Passes{{
    {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};

// Number of pixels (or rows) a pass takes from a line of `size`.
constexpr uint32_t PassExtent(uint32_t size, uint32_t start, uint32_t step)
{
    return size > start ? (size - start + step - 1) / step : 0;
}

}  // namespace corvalin

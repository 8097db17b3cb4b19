#include "formats/pcd/PcdChroma.h"

#include <cstring>

namespace corvalin {

void WidenChromaRow(const uint8_t* source, size_t half, uint8_t* target)
{
    if (half == 0)
        return;
    for (size_t k = 0; k + 1 < half; ++k) {
        target[2 * k] = source[k];
        target[2 * k + 1] = uint8_t((source[k] + source[k + 1] + 1) >> 1);
    }
    target[2 * half - 2] = source[half - 1];
    target[2 * half - 1] = source[half - 1];
}

void FillOddChromaRows(uint8_t* plane, size_t width, size_t height)
{
    if (width < 2 || height < 2)
        return;
    for (size_t row = 1; row + 1 < height; row += 2) {
        const uint8_t* above = plane + (row - 1) * width;
        const uint8_t* below = plane + (row + 1) * width;
        uint8_t* out = plane + row * width;
        for (size_t x = 0; x + 2 < width; x += 2) {
            out[x] = uint8_t((above[x] + below[x] + 1) >> 1);
            // The stored samples around the odd column, not the widened ones.
            out[x + 1] = uint8_t((above[x] + above[x + 2] + below[x] + below[x + 2] + 2) >> 2);
        }
        out[width - 2] = uint8_t((above[width - 2] + below[width - 2] + 1) >> 1);
        out[width - 1] = uint8_t((above[width - 1] + below[width - 1] + 1) >> 1);
    }
    std::memcpy(plane + (height - 1) * width, plane + (height - 2) * width, width);
}

}  // namespace corvalin

// Which rows nearest-neighbour scaling takes from a picture, so that a
// reader can deliver just those; and how far smooth scaling lets a reader
// reduce a picture while decoding it.
#pragma once

#include <cstdint>
#include <functional>

namespace corvalin {

// The source position that scaling sourceSize positions to targetSize
// samples for target position t: floor(t * sourceSize / targetSize).
inline int SampledPosition(int t, int targetSize, int sourceSize)
{
    return int(int64_t(t) * sourceSize / targetSize);
}

// A caller that will scale a picture, unturned, tells its reader how many
// rows the result will have, once the reader knows the picture's size. Only
// a reader that can decode rows alone asks, and it then delivers just the
// rows the scaling samples: its row t is the picture's row
// SampledPosition(t, rows, height), and scaling that to the same number of
// rows takes each row once, so the result is the same. A picture of one bit
// a pixel is scaled by combining the rows that meet in one, so it always
// comes whole. An answer of 0, or of the height or more, asks for every row.
using TRowRequest = std::function<int32_t(int32_t width, int32_t height)>;

// How many rows a reader that asks delivers: the answer when it is fewer
// than all, else 0 for every row.
inline int32_t RequestedRows(const TRowRequest& request, int32_t width, int32_t height)
{
    const int32_t rows = request(width, height);
    return rows > 0 && rows < height ? rows : 0;
}

// A caller that will shrink a picture smoothly tells its reader, once the
// reader knows the picture's size, by how much at most it may reduce the
// picture while decoding: `largestFactor` answers a factor, 1 or less for
// none. A reader that can decode reduced delivers the picture divided by the
// largest factor it can do that is not above the answer, each side rounded
// up; other readers deliver it whole. A distinct type, so that it is never
// taken for a row request.
struct TReductionRequest {
    std::function<int32_t(int32_t width, int32_t height)> largestFactor;
};

}  // namespace corvalin

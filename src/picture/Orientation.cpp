#include "picture/Orientation.h"

#include <algorithm>
#include <vector>

#include "picture/Rotate.h"
#include "picture/RowCodec.h"

namespace corvalin {

namespace {

// Every orientation is a number of clockwise quarter turns followed by a
// mirror or none: 5, the transposed picture, is a quarter turn mirrored.
struct TUprightSteps {
    int turns;
    bool mirror;
};

constexpr TUprightSteps kSteps[9] = {{0, false}, {0, false}, {0, true}, {2, false}, {2, true},
                                     {1, true},  {1, false}, {3, true}, {3, false}};

void MirrorPixels(uint8_t* row, int width, size_t pixelBytes)
{
    if (width < 2)
        return;
    for (size_t left = 0, right = size_t(width - 1) * pixelBytes; left < right; left += pixelBytes, right -= pixelBytes)
        std::swap_ranges(row + left, row + left + pixelBytes, row + right);
}

}  // namespace

void MirrorLeftToRight(TBitmap& picture)
{
    if (picture.Empty())
        return;
    TRaster& raster = picture.MutableRaster();
    // Whole-byte pixels move as they are, every byte they hold with them;
    // pixels of fewer bits go through BGR, which they hold exactly.
    if (raster.bitsPerPixel % 8 == 0) {
        for (int y = 0; y < raster.height; ++y)
            MirrorPixels(raster.Row(y), raster.width, size_t(raster.bitsPerPixel / 8));
        return;
    }
    std::vector<uint8_t> row(size_t(raster.width) * 3);
    for (int y = 0; y < raster.height; ++y) {
        DecodeRowToBgr(raster, y, row.data());
        MirrorPixels(row.data(), raster.width, 3);
        EncodeRowFromBgr(raster, y, row.data());
    }
}

void TurnUpright(TBitmap& picture, int orientation)
{
    if (orientation < 1 || orientation > 8)
        return;
    const TUprightSteps steps = kSteps[orientation];
    for (int turn = 0; turn < steps.turns; ++turn) {
        TBitmap turned;
        RotateQuarterClockwise(picture, turned);
        picture.AssignPicture(&turned);
    }
    if (steps.mirror)
        MirrorLeftToRight(picture);
}

}  // namespace corvalin

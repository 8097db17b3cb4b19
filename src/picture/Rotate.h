// Whole-raster quarter turn.
#pragma once

#include "picture/Bitmap.h"

namespace corvalin {

// One clockwise quarter turn: target is sized to (source height x source
// width) with SetPictureWidth then SetPictureHeight, and target pixel (x, y)
// takes the colour of source pixel (y, source height - 1 - x), written as
// WritePixel would write it. Works on whole rows rather than single pixels.
// A source with alpha gives a fresh 32-bit target with alpha instead, each
// pixel's alpha moved with its colour.
void RotateQuarterClockwise(const TBitmap& source, TBitmap& target);

}  // namespace corvalin

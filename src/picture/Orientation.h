// Turning a picture stored sideways or mirrored into the way it is shown.
#pragma once

#include "picture/Bitmap.h"

namespace corvalin {

// Mirrors the picture left to right in its own pixel format.
void MirrorLeftToRight(TBitmap& picture);

// Turns and mirrors a picture stored with the Exif orientation 1..8 (the
// row and column its first stored pixel is shown at) into the picture as it
// is shown; other values leave it alone.
void TurnUpright(TBitmap& picture, int orientation);

}  // namespace corvalin

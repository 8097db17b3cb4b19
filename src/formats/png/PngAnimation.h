// How many pictures an animated PNG holds.
#pragma once

#include <cstddef>

namespace corvalin {

class TPNGImage;

// The frames the animation control chunk (acTL) before the picture data
// counts, and the default picture besides them when no frame control chunk
// (fcTL) precedes the picture data (the picture is then shown only by
// viewers without animation, and is no frame); 1 for a still PNG.
size_t PngPictureCount(const TPNGImage& png);

}  // namespace corvalin

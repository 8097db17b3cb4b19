// Showing a raster picture in a window: the picture's rows, turned into BGR
// triples by the raster layer, become a QImage; transparent parts show over a
// light checkerboard. No pixel format is decoded here.
#pragma once

#include <QImage>

namespace corvalin {

class TBitmap;

// An empty picture gives a null image.
QImage ToQImage(const TBitmap& picture);

}  // namespace corvalin

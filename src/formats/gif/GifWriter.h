// Writing a GIF built from a picture.
#pragma once

#include <vector>

#include "formats/gif/GifImage.h"

namespace corvalin {

class TStream;

// Writes header, images and trailer. Images carry no extensions and no sorted
// map, so the file is GIF87a. Throws GIFException "Color not in color table"
// for an index beyond its image's colour map, leaving the bytes written so far.
void WriteGif(TStream& stream, const TGIFHeader& header, const std::vector<TGIFSubImage>& images);

}  // namespace corvalin

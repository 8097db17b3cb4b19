// Parsing a GIF file into its header and images.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "formats/gif/GifImage.h"

namespace corvalin {

struct TGifContents {
    TGIFHeader header;
    std::vector<TGIFSubImage> images;
    size_t consumed = 0;  // bytes read, trailer included
};

// Reads the GIF at the start of `bytes`. Throws GIFException for the errors
// the format allows no way around; damaged image data only ends that image's
// decoding early and leaves its remaining pixels at the fill value.
TGifContents ReadGif(std::span<const uint8_t> bytes);
// As ReadGif, with every image's data passed by undecoded: the images hold
// no pixels, and say nothing about damage in their data.
TGifContents ReadGifLayout(std::span<const uint8_t> bytes);

}  // namespace corvalin

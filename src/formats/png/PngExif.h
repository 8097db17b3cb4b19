// The Exif block of a PNG file: the eXIf chunk, a TIFF structure as it is.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace corvalin {

class TPNGImage;

// The block of the file's eXIf chunk, charged to the file's side-data
// budget; empty when there is none or it does not fit.
std::vector<uint8_t> ReadExifBlock(TPNGImage& png);

// Puts an eXIf chunk with the block (made true for the picture, see
// ExifForPicture) behind the header, before the image data.
void AddExifBlock(TPNGImage& png, std::span<const uint8_t> block);

}  // namespace corvalin

// Writing a raster picture as a baseline TIFF file: Intel byte order, one
// directory, one uncompressed strip; bilevel, palette or RGB by the picture's
// bits per pixel.
#pragma once

#include <string>

#include "formats/metadata/PictureMetadata.h"

namespace corvalin {

class TBitmap;
class TStream;

// Writes the picture from the stream's current position. An empty picture
// writes nothing. 1 bit gives a bilevel file, 4 and 8 bits a palette file
// (4-bit width rounded down to a multiple of 4; a 4-bit picture narrower than
// 4 pixels is written with 8 bits), every other layout an RGB
// file. Of the metadata it writes the texts and the orientation of the Exif
// block, XMP, IPTC and Photoshop resources, and an RGB colour profile (not
// into a bilevel file). Throws EInvalidGraphic before writing anything when
// the picture is wider or higher than 65535 pixels.
void WriteTiffToStream(TStream& stream, const TBitmap& picture, const TPictureMetadata& metadata = {});

// Replaces the file with the picture as TIFF; a failure leaves the file as it was.
// The quality is that of the format table's save path; TIFF has none.
void SaveTiffFile(const TBitmap& picture, const std::string& fileName, int32_t quality = 0,
                  const TPictureMetadata& metadata = {});

}  // namespace corvalin

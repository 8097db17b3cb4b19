// Writes a picture as a version 5, run-length encoded PCX file; the layout
// follows the picture's depth: 1 bit in one plane, 4 bits in four planes
// with the header's 16 colours, 8 bits in one plane with the 256 colours
// after the file's pixels, anything else as 24 bits in three planes.
#pragma once

#include <cstdint>
#include <string>

namespace corvalin {

class TBitmap;
class TStream;
struct TPictureMetadata;

// Throws EInvalidGraphic for a picture wider or higher than PCX can say.
void WritePcxToStream(TStream& stream, const TBitmap& picture);

// The format table's save path, through the atomic save.
void SavePcxFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                 const TPictureMetadata& metadata);

}  // namespace corvalin

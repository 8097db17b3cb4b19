// Writes a picture as a flat Photoshop document: no layers, the picture as
// the document's merged image, each row PackBits compressed. 1-bit pictures
// become bitmap documents, 256 grey levels in order greyscale ones, other
// palette pictures indexed ones, anything else 8-bit RGB, with a fourth
// channel for the opacity of a picture that has it.
#pragma once

#include <cstdint>
#include <string>

namespace corvalin {

class TBitmap;
class TStream;
struct TPictureMetadata;

// Throws EInvalidGraphic for a picture wider or higher than 30000 pixels,
// the most a Photoshop document holds.
void WritePsdToStream(TStream& stream, const TBitmap& picture);

// The format table's save path, through the atomic save.
void SavePsdFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                 const TPictureMetadata& metadata);

}  // namespace corvalin

// Writes a picture as a Windows icon or cursor of at most 256 x 256 pixels: one entry
// of the picture itself and one for every smaller size the picture's
// metadata keeps from an icon source, scaled from it. 256-pixel entries are
// PNG files; smaller ones are bitmaps with their AND mask, of the picture's
// palette at 1, 4 or 8 bits, else 32-bit with opacity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvalin {

class TBitmap;
class TStream;
struct TPictureMetadata;

// Throws EInvalidGraphic, naming the limit, for a larger picture. A cursor
// has the metadata's hot spot, scaled to each entry, in its directory.
void WriteIcoToStream(TStream& stream, const TBitmap& picture, const TPictureMetadata& metadata,
                      bool cursor = false);

// The format table's save path, through the atomic save: a cursor when the
// file is named .cur.
void SaveIcoFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                 const TPictureMetadata& metadata);

// How many entries the icon written for the picture holds: the format
// table's count of the pictures its writer keeps.
size_t IcoPicturesWritten(const TBitmap& picture, const TPictureMetadata& metadata);

}  // namespace corvalin

// Writes a picture as a Windows icon or cursor of at most 256 x 256 pixels: one entry
// of the picture itself and one for every smaller size the picture's
// metadata keeps from an icon source, scaled from it, the largest of them up
// to kMaxIconSizesWritten entries. 256-pixel entries are PNG files; smaller
// ones are bitmaps with their AND mask, of the picture's palette at 1, 4 or
// 8 bits, else 32-bit with opacity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvalin {

// Entries an icon is written with at most: icons hold a handful of sizes,
// and each entry is up to a quarter of a megabyte.
inline constexpr size_t kMaxIconSizesWritten = 32;

class TBitmap;
class TStream;
struct TPictureMetadata;

// Throws EInvalidGraphic, naming the limit, for a larger picture, and
// before writing anything when an entry would lie past the 4 GiB that the
// directory's offsets reach. A cursor has the metadata's hot spot, scaled to
// each entry, in its directory.
void WriteIcoToStream(TStream& stream, const TBitmap& picture, const TPictureMetadata& metadata,
                      bool cursor = false);

// The format table's save path, through the atomic save: a cursor when the
// picture came from one (the metadata holds its hot spot) or the file is
// named .cur.
void SaveIcoFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                 const TPictureMetadata& metadata);

// How many entries the icon written for the picture holds: the format
// table's count of the pictures its writer keeps.
size_t IcoPicturesWritten(const TBitmap& picture, const TPictureMetadata& metadata);

}  // namespace corvalin

// Windows icons and cursors: a directory of entries, each one size of the
// same picture, held as BMP data without a file header (the pixels, then a
// one-bit AND mask of the transparent pixels) or as a whole PNG file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvalin {

class TBitmap;
struct TPictureMetadata;

// One entry as its data describe it (the directory's one-byte sizes cannot
// say 256 and are often wrong about the depth).
struct TIconEntry {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t bitsPerPixel = 0;
    bool png = false;
    // A cursor's hot spot from its directory entry.
    uint16_t hotspotX = 0;
    uint16_t hotspotY = 0;
    std::span<const uint8_t> data;
};

// The entries whose data lie inside the file and begin with a bitmap header
// or a PNG header, in directory order. Throws EInvalidGraphic when the file
// is no icon or cursor, or holds no such entry.
std::vector<TIconEntry> ReadIconDirectory(std::span<const uint8_t> file);

// The entry the picture is taken from: the largest, of those the deepest,
// of those the first.
const TIconEntry& ChosenEntry(const std::vector<TIconEntry>& entries);

// The format table's load path: the chosen entry, as a 32-bit raster with
// alpha when it has transparent pixels; the metadata learns every size the
// icon holds. Answers 1 picture, as the icon writer writes the sizes back,
// unless the icon holds more sizes than it writes: then their number.
size_t LoadIcoFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata);

}  // namespace corvalin

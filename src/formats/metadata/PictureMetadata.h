// What a photograph carries besides its pixels, kept from the file a picture
// was loaded from for the file it is saved to. Readers fill it, writers put
// into their format what it can hold; the raster never sees it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvalin {

// A JPEG application segment as it was read: its marker (0xE1 for Exif and
// XMP, 0xED for Photoshop/IPTC) and its bytes after the length field, the
// identifier ("Exif\0\0", the XMP namespace, "Photoshop 3.0\0") included.
struct TJpegSegment {
    uint8_t marker = 0;
    std::vector<uint8_t> bytes;
};

struct TPictureMetadata {
    // Exif, XMP and Photoshop segments of a JPEG source, in file order.
    std::vector<TJpegSegment> jpegSegments;
    // The whole colour profile of any source; empty when there is none.
    std::vector<uint8_t> iccProfile;
    // How many of jpegSegments stood before the profile in a JPEG source, so
    // that it goes back to the same place; other sources leave it 0.
    size_t iccPosition = 0;
};

// Whether the profile describes RGB device colours, as every picture that
// Corvalin writes with a profile has; a grey or CMYK profile would mislabel
// them. Also refuses profiles whose header is cut short or whose declared
// size is not their length.
bool IsRgbIccProfile(std::span<const uint8_t> profile);

}  // namespace corvalin

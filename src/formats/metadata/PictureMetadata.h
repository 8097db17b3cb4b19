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

// What a reader found out about the file itself rather than its picture. The
// conversion decides with it whether the file may be replaced by what
// Corvalin writes; writers do not look at it.
struct TSourceReport {
    enum class TColourModel : uint8_t { Other, Cmyk, Lab };
    // The picture was completed from damaged or missing data.
    bool damaged = false;
    // Layers of a layered document; the picture is only their merged image.
    uint32_t layers = 0;
    // The largest number of bits a sample of the file holds.
    uint8_t bitsPerSample = 8;
    TColourModel colourModel = TColourModel::Other;
    // A drawing of shapes, which the picture holds only as pixels.
    bool vector = false;
    // A Photo CD image pack: several resolutions of a scan, never written.
    bool photoCd = false;
};

// One size of an icon file's entries.
struct TIconSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const TIconSize&) const = default;
};

struct TPictureMetadata {
    // Exif, XMP and Photoshop segments of a JPEG source, in file order.
    std::vector<TJpegSegment> jpegSegments;
    // The whole colour profile of any source; empty when there is none.
    std::vector<uint8_t> iccProfile;
    // How many of jpegSegments stood before the profile in a JPEG source, so
    // that it goes back to the same place; other sources leave it 0.
    size_t iccPosition = 0;
    // The sizes an icon source held, largest first; the icon writer writes
    // the picture back at each of them that fits.
    std::vector<TIconSize> iconSizes;
    TSourceReport source;
};

// Whether the profile describes RGB device colours, as every picture that
// Corvalin writes with a profile has; a grey or CMYK profile would mislabel
// them. Also refuses profiles whose header is cut short or whose declared
// size is not their length.
bool IsRgbIccProfile(std::span<const uint8_t> profile);

}  // namespace corvalin

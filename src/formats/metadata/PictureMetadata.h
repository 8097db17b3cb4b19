// What a photograph carries besides its pixels, kept from the file a picture
// was loaded from for the file it is saved to. Readers fill it, writers put
// into their format what it can hold; the raster never sees it. Each part is
// held in the form every format shares, so a writer wraps it in its own way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvalin {

// The parts, as a JPEG source ordered its segments.
enum class TMetadataPart : uint8_t { Exif, Xmp, XmpExtension, Photoshop, IccProfile, Comment };

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
    // The pixels are stored without loss (lossless JPEG XL or WebP): a lossy
    // rewrite would lose what the file keeps.
    bool lossless = false;
    // Pictures beside the main one that no writer keeps (HEIF depth maps,
    // thumbnails, auxiliary images).
    uint32_t auxiliaryPictures = 0;
};

// One size of an icon file's entries.
struct TIconSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const TIconSize&) const = default;
};

// Where a cursor points: its hot spot in a picture of width x height.
struct TCursorHotspot {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const TCursorHotspot&) const = default;
};

struct TPictureMetadata {
    // The Exif block: a TIFF structure from its byte-order mark on.
    std::vector<uint8_t> exif;
    // The XMP packet.
    std::vector<uint8_t> xmp;
    // What a JPEG holds of a packet too large for one segment: each
    // extension segment's bytes behind its namespace, in file order.
    std::vector<std::vector<uint8_t>> xmpExtension;
    // Photoshop image resources ("8BIM" blocks), the IPTC record among them.
    std::vector<uint8_t> photoshop;
    // The whole colour profile.
    std::vector<uint8_t> iccProfile;
    // The pixels were brought to sRGB from the profile they had: a PNG says
    // so with its sRGB chunk.
    bool isSrgb = false;
    // The sizes an icon source held, largest first; the icon writer writes
    // the picture back at each of them that fits.
    std::vector<TIconSize> iconSizes;
    // A cursor source's hot spot; none for an icon or any other source. A
    // file written as a cursor points where the source did.
    std::optional<TCursorHotspot> cursorHotspot;
    TSourceReport source;
    // A comment for people, as its bytes.
    std::string comment;
    // Pixels per inch across and down as the source states them; 0 when it
    // states none (or only an aspect ratio).
    double xPixelsPerInch = 0;
    double yPixelsPerInch = 0;
    // The order in which a JPEG source held the parts (one entry per
    // extension segment), so that a JPEG result keeps it; parts it does not
    // name follow in the enum's order.
    std::vector<TMetadataPart> jpegOrder;

    bool Empty() const
    {
        return exif.empty() && xmp.empty() && xmpExtension.empty() && photoshop.empty() &&
               iccProfile.empty() && comment.empty();
    }
};

// Whether the profile describes RGB device colours, as every picture that
// Corvalin writes with a profile has; a grey or CMYK profile would mislabel
// them. Also refuses profiles whose header is cut short or whose declared
// size is not their length.
bool IsRgbIccProfile(std::span<const uint8_t> profile);

// The data colour space of a profile ("RGB ", "CMYK", "GRAY"), empty for
// a profile whose header is cut short or whose declared size is wrong.
std::string IccColorSpace(std::span<const uint8_t> profile);

// The data of resource `id` among Photoshop image resources, empty when
// there is none or the resources are damaged before it.
std::span<const uint8_t> PhotoshopResource(std::span<const uint8_t> resources, uint16_t id);

// The IPTC record among Photoshop image resources (resource 0x0404).
std::span<const uint8_t> IptcOfPhotoshop(std::span<const uint8_t> resources);

// Photoshop image resources holding just the IPTC record.
std::vector<uint8_t> PhotoshopWithIptc(std::span<const uint8_t> iptc);

}  // namespace corvalin

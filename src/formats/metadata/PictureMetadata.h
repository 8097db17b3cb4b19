// What a photograph carries besides its pixels, kept from the file a picture
// was loaded from for the file it is saved to. Readers fill it, writers put
// into their format what it can hold; the raster never sees it. Each part is
// held in the form every format shares, so a writer wraps it in its own way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvalin {

// The parts, as a JPEG source ordered its segments.
enum class TMetadataPart : uint8_t { Exif, Xmp, XmpExtension, Photoshop, IccProfile, Comment };

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

// Exif blocks carried into a new picture: their own tags stay, but what they
// say about the picture itself must describe the new one.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace corvalin {

// The identifier that opens an Exif APP1 segment.
inline constexpr uint8_t kExifIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};

bool IsExifSegment(std::span<const uint8_t> segment);

// An Exif block (a TIFF structure, or a JPEG segment's bytes with the
// identifier before it; the result keeps the form) for a picture of width x height:
// the pixel dimensions it records are set to those, the thumbnail directory
// (IFD1), which shows the old picture, is unlinked and its bytes dropped when
// they lie behind everything else, and every other byte stays, the
// orientation among them. A block whose structure is damaged (offsets out of
// the block, loops, counts beyond the data) comes back unchanged.
std::vector<uint8_t> ExifForPicture(std::span<const uint8_t> segment, int32_t width, int32_t height);

// The Orientation (tag 274) of IFD0 of an Exif block, 1..8; 0 when it is
// absent, outside 1..8 or the structure is damaged.
int ExifOrientation(std::span<const uint8_t> block);

// Sets an Orientation the block holds to 1 (the picture is stored as it is
// shown); a block without one, or a damaged one, stays as it is.
void SetExifOrientationUpright(std::vector<uint8_t>& block);

// The descriptive text tags that a TIFF file holds in its own directory and
// a photograph in its Exif block's first one.
enum TExifTextTag : uint16_t {
    kExifImageDescription = 270,
    kExifMake = 271,
    kExifModel = 272,
    kExifDateTime = 306,
    kExifArtist = 315,
    kExifCopyright = 33432
};
inline constexpr uint16_t kExifTextTags[] = {kExifImageDescription, kExifMake,   kExifModel,
                                             kExifDateTime,         kExifArtist, kExifCopyright};

// One entry of an Exif directory with its values' bytes, little-endian.
struct TExifField {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    std::vector<uint8_t> value;
};

// The directories that hold a photograph's capture details and position:
// the Exif directory (linked by tag 34665 from the first directory) with
// its interoperability directory (40965), and the GPS directory (34853).
// Links to further directories are not kept.
struct TExifDirectories {
    std::vector<TExifField> exif, interop, gps;
    bool Empty() const { return exif.empty() && gps.empty(); }
};

// The directories at those offsets of a TIFF structure (a whole TIFF file,
// or an Exif block from its byte-order mark on); an offset of 0 names none.
// A directory that cannot be walked safely (outside the data, a loop, values
// beyond the data, all of them together above the side-data limit) is left
// out; never throws.
TExifDirectories ReadExifDirectories(std::span<const uint8_t> tiff, uint32_t exifAt, uint32_t gpsAt);
// The directories an Exif block's first directory links (with or without
// the identifier before its TIFF structure).
TExifDirectories ExifDirectoriesOf(std::span<const uint8_t> block);

// The directories laid out little-endian for a TIFF structure in which the
// bytes begin at the even offset `at`; exifAt and gpsAt are the offsets to
// link from the first directory, 0 for a directory that is empty.
struct TExifDirectoryBytes {
    std::vector<uint8_t> bytes;
    uint32_t exifAt = 0;
    uint32_t gpsAt = 0;
};
TExifDirectoryBytes LayOutExifDirectories(const TExifDirectories& directories, uint32_t at);

// A little-endian Exif block (TIFF structure) whose first directory holds
// the texts (tag, text without its closing zero), an orientation 1..8 (none
// for another value) and the links to `linked`; empty when there is
// nothing to hold.
std::vector<uint8_t> ExifOfTexts(const std::vector<std::pair<uint16_t, std::string>>& texts, int orientation,
                                 const TExifDirectories& linked = {});

// The text of an ASCII tag in the first directory of an Exif block (up to
// its first zero); empty when it is absent or the structure is damaged.
std::string ExifText(std::span<const uint8_t> block, uint16_t tag);

}  // namespace corvalin

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

// A little-endian Exif block (TIFF structure) of one directory holding the
// texts (tag, text without its closing zero) and an orientation 1..8 (none
// for another value); empty when there is nothing to hold.
std::vector<uint8_t> ExifOfTexts(const std::vector<std::pair<uint16_t, std::string>>& texts, int orientation);

// The text of an ASCII tag in the first directory of an Exif block (up to
// its first zero); empty when it is absent or the structure is damaged.
std::string ExifText(std::span<const uint8_t> block, uint16_t tag);

}  // namespace corvalin

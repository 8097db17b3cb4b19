// Exif blocks carried into a new picture: their own tags stay, but what they
// say about the picture itself must describe the new one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace corvalin {

// The identifier that opens an Exif APP1 segment.
inline constexpr uint8_t kExifIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};

bool IsExifSegment(std::span<const uint8_t> segment);

// An Exif segment (identifier included) for a picture of width x height:
// the pixel dimensions it records are set to those, the thumbnail directory
// (IFD1), which shows the old picture, is unlinked and its bytes dropped when
// they lie behind everything else, and every other byte stays, the
// orientation among them. A block whose structure is damaged (offsets out of
// the block, loops, counts beyond the data) comes back unchanged.
std::vector<uint8_t> ExifForPicture(std::span<const uint8_t> segment, int32_t width, int32_t height);

// An Exif segment whose orientation tag, if it has one, says "upright" (1):
// for pictures that their container has already turned, so that no reader
// turns them a second time. A damaged block comes back unchanged.
std::vector<uint8_t> ExifUpright(std::span<const uint8_t> segment);

}  // namespace corvalin

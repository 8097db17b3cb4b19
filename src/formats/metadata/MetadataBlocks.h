// Exif, XMP and colour profiles as the camera and web formats keep them:
// plain blocks in boxes or chunks of their own, rather than JPEG segments
// with identifiers. Readers hand them in, writers take them out.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/Limits.h"
#include "formats/metadata/PictureMetadata.h"

namespace corvalin {

// Keeps an Exif block that begins with the TIFF header (or with "Exif\0\0"
// before it, as some writers put it). Upright: the container has already
// turned the picture, so the block's orientation is set to 1. Blocks that
// do not fit the budget are dropped.
void KeepExifBlock(TPictureMetadata& metadata, std::span<const uint8_t> block, bool upright, TSideDataBudget& budget);
// Keeps an XMP packet.
void KeepXmpPacket(TPictureMetadata& metadata, std::span<const uint8_t> packet, TSideDataBudget& budget);
// Keeps a colour profile; a second one is not kept.
void KeepIccProfile(TPictureMetadata& metadata, std::span<const uint8_t> profile, TSideDataBudget& budget);

// The Exif block to write with a width x height picture, from its TIFF
// header on: pixel size updated, thumbnail dropped (see ExifForPicture),
// and for formats whose container would turn the picture, its orientation
// set to upright. Empty when the metadata holds none.
std::vector<uint8_t> ExifBlockForPicture(const TPictureMetadata& metadata, int32_t width, int32_t height, bool upright);
// The XMP packet to write; empty when there is none.
std::span<const uint8_t> XmpPacketOf(const TPictureMetadata& metadata);

}  // namespace corvalin

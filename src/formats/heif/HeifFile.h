// The format table's HEIC and AVIF rows, on libheif: the primary picture
// read as its container turns and mirrors it, with its opacity, Exif, XMP
// and colour profile, and the count of top-level pictures; pictures written
// with x265 (HEIC) or aom (AVIF).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/metadata/PictureMetadata.h"

namespace corvalin {

class TBitmap;

size_t LoadHeifFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata);
void SaveHeicFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                  const TPictureMetadata& metadata);
// The bytes SaveHeicFile would write.
std::vector<uint8_t> EncodeHeicFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata);
void SaveAvifFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                  const TPictureMetadata& metadata);
// The bytes SaveAvifFile would write.
std::vector<uint8_t> EncodeAvifFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata);

}  // namespace corvalin

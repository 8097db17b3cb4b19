// The format table's HEIC and AVIF rows, on libheif: the primary picture
// read as its container turns and mirrors it, with its opacity, Exif, XMP
// and colour profile, and the count of top-level pictures; pictures written
// with x265 (HEIC) or aom (AVIF).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/Probe.h"
#include "formats/metadata/PictureMetadata.h"
#include "picture/RowSampling.h"

namespace corvalin {

class TBitmap;

// The boxes as libheif parses them, without decoding any picture.
std::optional<TProbe> ProbeHeifFile(std::span<const uint8_t> file);
size_t LoadHeifFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata);
// As LoadHeifFile; an opaque 8-bit picture coded full-range in the BT.601
// matrix (a phone's photograph) gives just the rows `rows` asks for (see TRowRequest), converted from the
// decoded 4:2:0 planes here with the chroma sample that covers each pixel,
// as libheif converts HEVC pictures (a 4:4:4 picture's chroma is halved
// first). Not for AVIF, whose chroma libheif interpolates.
size_t LoadHeifRows(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                    const TRowRequest& rows);
void SaveHeicFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                  const TPictureMetadata& metadata);
// The bytes SaveHeicFile would write.
std::vector<uint8_t> EncodeHeicFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata);
void SaveAvifFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                  const TPictureMetadata& metadata);
// The bytes SaveAvifFile would write.
std::vector<uint8_t> EncodeAvifFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata);

}  // namespace corvalin

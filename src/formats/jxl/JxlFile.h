// The format table's JPEG XL row, on libjxl: the first picture read as its
// codestream orients it, with opacity, the Exif and XMP boxes, the colour
// profile and the picture count; pictures written at a distance that follows
// the Quality setting, or losslessly at 100.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/Probe.h"
#include "formats/metadata/PictureMetadata.h"

namespace corvalin {

class TBitmap;

// The codestream's basic information, colour encoding and frame headers,
// without decoding any pixel.
std::optional<TProbe> ProbeJxlFile(std::span<const uint8_t> file);
size_t LoadJxlFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata);
void SaveJxlFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                 const TPictureMetadata& metadata);
// The bytes SaveJxlFile would write.
std::vector<uint8_t> EncodeJxlFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata);

// The Butteraugli distance for a Quality of 1..99: 0.1 + (100 - Q) x 0.09
// from 30 up, as cjxl maps its quality; below 30 it grows on by 0.2 a step,
// continuous at 30 (6.4) and 12.2 at 1, inside libjxl's limit of 15.
float JxlDistanceOfQuality(int32_t quality);

}  // namespace corvalin

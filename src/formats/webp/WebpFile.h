// The format table's WebP row, on libwebp: still and animated files read
// (an animation gives its first picture and its picture count), pictures
// written lossy at the Quality setting or, at 100, lossless; opacity and the
// EXIF, XMP and ICCP chunks kept both ways.
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

// The demuxer's reading of the chunks, without decoding any pixel.
std::optional<TProbe> ProbeWebpFile(std::span<const uint8_t> file);
size_t LoadWebpFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata);
// As LoadWebpFile; an opaque lossy still picture gives just the rows `rows`
// asks for (see TRowRequest), turned into colour from its decoded YUV planes
// here, as libwebp turns them (within a level).
size_t LoadWebpRows(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                    const TRowRequest& rows);
// As LoadWebpFile; an opaque still picture is decoded reduced by the factor
// `reduction` allows (see TReductionRequest).
size_t LoadWebpReduced(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                       const TReductionRequest& reduction);
void SaveWebpFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                  const TPictureMetadata& metadata);
// The bytes SaveWebpFile would write.
std::vector<uint8_t> EncodeWebpFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata);

}  // namespace corvalin

// The side data of a JPEG file: which application segments are kept from a
// source, and the segments a result carries.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "formats/metadata/PictureMetadata.h"

namespace corvalin {

// Walks the segments before the first scan and keeps the parts they hold:
// Exif and XMP (APP1, the first of each, and the XMP extension segments),
// Photoshop resources (APP13, joined), the colour profile (APP2 chunks,
// joined in their numbered order) and the comment, charging what it keeps to the
// file's side-data budget. A profile whose chunks do not fit together is
// dropped; damaged segment structure ends the walk with what was read. Never
// throws for bad data: whether the picture can be read is libjpeg's to say.
TPictureMetadata ReadJpegMetadata(std::span<const uint8_t> file);

// The JFIF header's density: unit 0 gives only the pixels' aspect ratio
// (1:1 when nothing is known), unit 1 dots per inch.
struct TJpegDensity {
    uint8_t unit = 0;
    uint16_t x = 1;
    uint16_t y = 1;
};

// The density of the metadata's resolution in whole dots per inch, or the
// plain 1:1 aspect when it states none the header can hold.
TJpegDensity JpegDensityFor(const TPictureMetadata& metadata);

// One segment for the encoder to write after the JFIF header.
struct TJpegMarker {
    int code = 0;
    std::vector<uint8_t> bytes;
};

// The segments a JPEG picture of width x height carries from the metadata,
// in the order a JPEG source held them: Exif made true for the new picture
// (see ExifForPicture), XMP, Photoshop resources and the comment as they
// were, and an RGB colour profile cut into as many APP2 chunks as it needs.
// Nothing that the format cannot hold is written.
std::vector<TJpegMarker> JpegMarkersFor(const TPictureMetadata& metadata, int32_t width,
                                        int32_t height);

}  // namespace corvalin

// What a TIFF file carries beside its first picture's pixels, and the
// directory entries a written file carries of a picture's metadata.
#pragma once

#include <cstdint>
#include <span>

#include "formats/metadata/PictureMetadata.h"

namespace corvalin {

// The first directory's colour profile (34675), XMP (700), Photoshop
// resources (34377, or the IPTC record of 33723 wrapped as one), and its
// texts, orientation, Exif directory (34665) and GPS directory (34853) as an
// Exif block. A part that is damaged or too
// large is left out; never throws.
TPictureMetadata ReadTiffMetadata(std::span<const uint8_t> file);

}  // namespace corvalin

// How HEIF files begin: an "ftyp" box whose major or compatible brands name
// the kind of pictures inside. HEIC and AVIF share the container and differ
// in their brands.
#pragma once

#include <cstdint>
#include <span>

namespace corvalin {

// Brands of HEVC pictures and of the generic image brands (mif1, msf1).
bool IsHeic(std::span<const uint8_t> file);
// Brands of AV1 pictures.
bool IsAvif(std::span<const uint8_t> file);

}  // namespace corvalin

// What Corvalin reads of a HEIF file's boxes itself, before libheif parses
// it: the items and what they declare, enough to bound libheif's work and
// memory and to check the declared sizes against each other and against the
// coded pictures; and the pictures of a sequence's track, which libheif does
// not read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvalin {

// More items than this (or references between them) are refused before
// libheif parses the file: its parsing takes time growing faster than the
// count (20,000 items took 19 s), and a photograph with its grid tiles,
// thumbnails and depth map holds a few hundred.
inline constexpr size_t kMaxHeifItems = 3000;

struct THeifItem {
    uint32_t id = 0;
    std::string type;  // "hvc1", "av01", "grid", "Exif" ...
    bool hasSize = false;  // an "ispe" property
    uint32_t width = 0, height = 0;
    std::span<const uint8_t> hvcC;  // the HEVC configuration's payload
    std::span<const uint8_t> av1C;  // the AV1 configuration's payload
    std::string auxType;            // an auxiliary picture's kind ("auxC")
    uint32_t auxiliaryOf = 0;       // the item an "auxl" reference names
    std::vector<uint32_t> tiles;    // a grid's "dimg" references, in order
    // The item's bytes; `joined` holds them when they lie in several pieces
    // (so an item is not moved once located).
    bool located = false;
    std::span<const uint8_t> data;
    std::vector<uint8_t> joined;
};

struct THeifLayout {
    uint32_t primary = 0;
    std::vector<THeifItem> items;
    // The most samples of a picture track (an image sequence), 0 without one.
    uint64_t sequencePictures = 0;

    const THeifItem* Item(uint32_t id) const;
};

// Throws EInvalidGraphic for a file with more items or references than
// kMaxHeifItems and for boxes that run past their parent.
THeifLayout ReadHeifLayout(std::span<const uint8_t> file);

}  // namespace corvalin

// What HEIF's checks read from the coded pictures themselves: the size an
// HEVC sequence parameter set gives its pictures, and whether an AV1
// picture's samples span the full range.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace corvalin {

struct THevcPictureSize {
    uint32_t width = 0, height = 0;    // as coded
    uint32_t shownWidth = 0, shownHeight = 0;  // within the conformance window
};

// The size a base-layer sequence parameter set (a NAL unit with its
// two-byte header) gives its pictures; none for any other unit. Throws
// EInvalidGraphic for a parameter set cut short.
std::optional<THevcPictureSize> HevcSpsSize(std::span<const uint8_t> unit);

// Whether the first sequence header among an AV1 picture's OBUs says its
// samples use the full range (color_range); none without a sequence header.
// Throws EInvalidGraphic for one cut short.
std::optional<bool> Av1FullRange(std::span<const uint8_t> obus);

}  // namespace corvalin

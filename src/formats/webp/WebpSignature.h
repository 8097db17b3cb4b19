// How a WebP file begins: a RIFF container of the form "WEBP".
#pragma once

#include <cstdint>
#include <span>

namespace corvalin {

bool IsWebp(std::span<const uint8_t> file);

}  // namespace corvalin

// How a JPEG XL file begins: a bare codestream or the container's first box.
#pragma once

#include <cstdint>
#include <span>

namespace corvalin {

bool IsJxl(std::span<const uint8_t> file);

}  // namespace corvalin

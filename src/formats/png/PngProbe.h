// The PNG row's probe: the header and the chunks beside the pixels, walked
// by their lengths without inflating any data.
#pragma once

#include <optional>
#include <span>

#include "formats/Probe.h"

namespace corvalin {

// nullopt when the file does not begin with the signature and a header chunk.
std::optional<TProbe> ProbePngFile(std::span<const uint8_t> file);

}  // namespace corvalin

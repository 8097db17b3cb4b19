// The GIF row's probe: the screen, the blocks and each image's descriptor,
// walked without decoding any image's data.
#pragma once

#include <optional>
#include <span>

#include "formats/Probe.h"

namespace corvalin {

// nullopt for a file without an image; throws GIFException as ReadGif does
// for the structure's errors.
std::optional<TProbe> ProbeGifFile(std::span<const uint8_t> file);

}  // namespace corvalin

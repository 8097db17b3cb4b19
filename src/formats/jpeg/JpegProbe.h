// The JPEG row's probe: the frame header and the metadata segments, read
// without decoding a scan.
#pragma once

#include <optional>
#include <span>

#include "formats/Probe.h"

namespace corvalin {

// nullopt when no frame header comes before the first scan, or one declares
// its height in a later segment.
std::optional<TProbe> ProbeJpegFile(std::span<const uint8_t> file);

}  // namespace corvalin

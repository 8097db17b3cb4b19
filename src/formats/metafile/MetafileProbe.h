// The metafile row's probe: the size its header gives the drawing.
#pragma once

#include <optional>
#include <span>

#include "formats/Probe.h"

namespace corvalin {

// nullopt for a header whose sizes the load refuses; throws as ReadMetafileHeader.
std::optional<TProbe> ProbeMetafile(std::span<const uint8_t> file);

}  // namespace corvalin

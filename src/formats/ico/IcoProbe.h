// The icon row's probe: the directory and the chosen entry's header.
#pragma once

#include <optional>
#include <span>

#include "formats/Probe.h"

namespace corvalin {

// The entry the load takes (see ChosenEntry); throws as ReadIconDirectory.
std::optional<TProbe> ProbeIcoFile(std::span<const uint8_t> file);

}  // namespace corvalin

// Constants shared by the conversion, the batch run and the windows.
#pragma once

#include <cstdint>

namespace corvalin {

// Prefix of the name of a copy written beside its source.
inline constexpr const char* kCopyPrefix = "Neu_";

// Width in pixels to which the progress window shortens the current path.
inline constexpr int kProgressLabelWidth = 200;

// Number boxes of the command line accept these ranges.
inline constexpr int32_t kMaxSideSwitch = 10000;

}  // namespace corvalin

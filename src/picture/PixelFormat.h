#pragma once

namespace corvalin {

// Device format is kept as 32 bits per pixel (blue, green, red, unused).
// Custom is any other layout a file may carry (other bit masks).
enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// Bits one pixel takes in memory for the formats with a fixed layout.
int StorageBitsOf(TPixelFormat format);

}  // namespace corvalin

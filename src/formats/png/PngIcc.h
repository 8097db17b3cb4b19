// The colour profile of a PNG file: the iCCP chunk, a keyword and the
// profile deflated.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace corvalin {

class TPNGImage;

// The profile of the file's iCCP chunk; empty when there is none, or when
// it is damaged or inflates to more than the side-data budget.
std::vector<uint8_t> ReadIccProfile(const TPNGImage& png);

// Puts an iCCP chunk with the profile behind the header, where the format
// wants it: before the palette and the image data. Only RGB profiles are
// written: every picture Corvalin writes as PNG holds RGB colours.
void AddIccProfile(TPNGImage& png, std::span<const uint8_t> profile);

// Puts an sRGB chunk behind the header: the pixels are sRGB colours, to be
// shown with the relative colorimetric intent they were converted with.
void AddSrgbChunk(TPNGImage& png);

}  // namespace corvalin

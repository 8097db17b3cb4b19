// Photo CD stores both chroma components at half resolution in each
// direction. These enlarge one component to full size: even samples and
// rows are the stored ones, odd ones the rounded means of their neighbours.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvalin {

// Widens `half` samples of `source` into 2 x half samples of `target`; the
// last odd sample repeats the last stored one.
void WidenChromaRow(const uint8_t* source, size_t half, uint8_t* target);

// `plane` holds width x height samples whose even rows are filled (widened);
// fills the odd rows between them, and the last row as a copy of the one
// above it. Width and height are even.
void FillOddChromaRows(uint8_t* plane, size_t width, size_t height);

}  // namespace corvalin

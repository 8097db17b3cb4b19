// Steps between a decoded TIFF block and the colour manager: reversed bit
// order, horizontal differencing, and subsampled YCbCr blocks.
#pragma once

#include <cstdint>
#include <span>

#include "common/ByteCursor.h"

namespace corvalin {

// Reverses the bit order of every byte (fill order 2).
void ReverseBits(std::span<uint8_t> bytes);

// Undoes predictor 2 in one row of `width` pixels of `samples` samples:
// 16-bit samples add as 16-bit numbers in the file's byte order, 8-bit
// samples per byte, other depths per byte with one byte per step.
void UndoHorizontalDifferencing(uint8_t* row, size_t rowBytes, uint32_t width, int samples, int bitsPerSample,
                                TByteOrder order);

// Bytes of a block of width x rows pixels stored as YCbCr data units of
// h x v luma samples and one Cb and one Cr each (8-bit samples).
size_t SubsampledBlockBytes(uint32_t width, uint32_t rows, int h, int v);
// Spreads those data units into rows of Y, Cb, Cr triples (width x 3 bytes each).
void ExpandSubsampledBlock(std::span<const uint8_t> units, uint32_t width, uint32_t rows, int h, int v,
                           uint8_t* triples);

}  // namespace corvalin

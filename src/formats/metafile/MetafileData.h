// Pieces of metafile records that both kinds share: colours, bitmaps
// embedded as device-independent bitmaps, and text in its two encodings.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "formats/metafile/MetafilePlayer.h"
#include "picture/Bitmap.h"

namespace corvalin {

// A colour reference: red in the low byte, as picture colours; the top byte
// (palette-relative flags) is dropped.
inline TColor ColorRef(uint32_t value) { return value & 0xFFFFFF; }

// The bitmap of an information header with its colour table (info) and its
// pixel bits; null when the bitmap cannot be read or declares more pixels
// than its bits can hold.
std::unique_ptr<TBitmap> DecodeDib(std::span<const uint8_t> info, std::span<const uint8_t> bits);
// The same for a packed bitmap, header, colour table and bits in one run.
std::unique_ptr<TBitmap> DecodePackedDib(std::span<const uint8_t> packed);
// How many bytes the header, masks and colour table at the start of info take; 0 when unreadable.
size_t DibInfoSize(std::span<const uint8_t> info);

// A pattern brush drawn as one colour: its bitmap's average.
TLogBrush PatternBrush(const TBitmap* pattern);

// Windows-1252 bytes, and UTF-16 code units (a surrogate pair being one
// character with the two units' advances added), as characters with their
// logical advances when given.
TMetaText Text8(std::span<const uint8_t> bytes, std::span<const int32_t> advances);
TMetaText Text16(std::span<const uint16_t> units, std::span<const int32_t> advances);

}  // namespace corvalin

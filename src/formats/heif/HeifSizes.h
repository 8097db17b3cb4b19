// The sizes a HEIF file declares, checked against each other and against
// its coded pictures before libheif decodes it, and the memory its decode
// takes.
#pragma once

#include <cstdint>

#include "formats/heif/HeifBoxes.h"

namespace corvalin {

// A primary grid's declared layout: tiles and output size.
struct THeifGrid {
    uint32_t rows = 0, columns = 0;
    uint32_t width = 0, height = 0;
    uint32_t tileWidth = 0, tileHeight = 0;
};

// Throws EInvalidGraphic "Ungültige HEIF-Datei" when an HEVC picture's
// parameter sets give it another size than its "ispe" says, or when the
// primary picture is a grid whose description, tiles and "ispe" disagree
// or whose tiles do not cover it. Returns that grid (all 0 for a picture
// of one piece).
THeifGrid CheckDeclaredSizes(const THeifLayout& layout);

// What libheif holds while it decodes the primary picture of width x
// height at `bits` bits into an interleaved image: the decoded planes (at
// most three full ones and the opacity), the interleaved image and the
// decoder's own buffers, for a grid one tile per thread that decodes
// tiles.
uint64_t HeifDecodingBytes(int width, int height, int bits, bool alpha, const THeifGrid& grid, int tileThreads);

}  // namespace corvalin

// A narrow C-style face of libjpeg for JPEG-compressed TIFF blocks. libjpeg
// reports fatal errors by a jump out of its own frames; every function here
// catches that jump itself and returns a status, so no C++ exception ever
// crosses a libjpeg frame. Library warnings are dropped.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvalin {

struct TJpegSession;

enum class TJpegColor { Unknown, Grey, RGB, YCbCr, CMYK };

struct TJpegBlockHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;
    int precision = 0;
    int firstH = 0, firstV = 0;          // sampling factors of the first component
    bool othersOneByOne = true;          // every other component is 1 x 1
};

// Null when libjpeg cannot be started.
TJpegSession* JpegSessionCreate();
void JpegSessionDestroy(TJpegSession* session);

// Each returns 0 on success, otherwise libjpeg's message code (or -1).
// Reads an abbreviated table-only stream; tablesOnly says whether it was one.
int JpegReadTables(TJpegSession* session, const uint8_t* data, size_t size, bool& tablesOnly);
// Ends whatever decompression runs, then reads the header of the next block.
int JpegReadHeader(TJpegSession* session, const uint8_t* data, size_t size, TJpegBlockHeader& header);
int JpegStartDecompress(TJpegSession* session, TJpegColor stored, TJpegColor output);
// Reads up to `rows` rows of rowBytes each; rowsRead says how many arrived.
int JpegReadRows(TJpegSession* session, uint8_t* out, size_t rowBytes, uint32_t rows, uint32_t& rowsRead);
// Ends the block's decompression, keeping the tables for the next block.
void JpegAbortBlock(TJpegSession* session);

}  // namespace corvalin

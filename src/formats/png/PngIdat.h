// The image data chunk: reading inflates the (possibly split) zlib stream
// row by row into the header's picture; writing deflates the picture into
// IDAT chunks of at most the picture's maximum IDAT size.
#pragma once

#include "formats/png/PngChunks.h"

namespace corvalin {

class TChunkIDAT : public TChunk {
public:
    static constexpr const char* kTypeName = "IDAT";
    using TChunk::TChunk;
    const char* ChunkTypeName() const override { return kTypeName; }
    void CopyFrom(const TChunk& source) override;
    // Decodes the whole picture, reading on through the IDAT chunks that
    // follow this one; leaves the cursor after the CRC of the last one used.
    void ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length) override;
    // Writes the whole picture as one or more IDAT chunks.
    void WriteChunk(TStream& stream) const override;
};

}  // namespace corvalin

// Building and taking apart PNG files byte by byte for the PNG tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture/Bitmap.h"

namespace pngtest {

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
};

std::vector<uint8_t> Signature();
// Length, type, data and CRC (or the CRC given).
std::vector<uint8_t> ChunkBytes(const std::string& type, const std::vector<uint8_t>& data);
std::vector<uint8_t> ChunkBytesWithCrc(const std::string& type, const std::vector<uint8_t>& data, uint32_t crc);
std::vector<uint8_t> Ihdr(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, uint8_t interlace = 0);
std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw, int level = 6);
// A file from the signature and the given chunks, in order.
std::vector<uint8_t> File(const std::vector<Chunk>& chunks);

// The chunks of a file, with the offset where each one starts.
struct ParsedChunk : Chunk {
    size_t offset = 0;
    uint32_t crc = 0;
};
std::vector<ParsedChunk> ParseChunks(const std::vector<uint8_t>& file);
// The inflated concatenation of all IDAT data.
std::vector<uint8_t> InflatedImageData(const std::vector<uint8_t>& file);

// Loads PNG bytes into a bitmap the way the picture object does.
void LoadInto(corvalin::TBitmap& bitmap, const std::vector<uint8_t>& file);
std::vector<uint8_t> SaveFrom(const corvalin::TBitmap& bitmap);

// Colour of a bitmap pixel as 0xRRGGBB, the form the reference decoders give.
uint32_t PixelRgb(const corvalin::TBitmap& bitmap, int x, int y);

}  // namespace pngtest

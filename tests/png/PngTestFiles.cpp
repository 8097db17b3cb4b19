#include "PngTestFiles.h"

#include <stdexcept>

#include <zlib.h>

#include "formats/png/PngImage.h"
#include "common/Stream.h"
#include "picture/Raster.h"

namespace pngtest {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

uint32_t Get32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t Crc(const std::string& type, const std::vector<uint8_t>& data)
{
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
    return data.empty() ? uint32_t(crc) : uint32_t(crc32(crc, data.data(), uInt(data.size())));
}

}  // namespace

std::vector<uint8_t> Signature()
{
    return {137, 80, 78, 71, 13, 10, 26, 10};
}

std::vector<uint8_t> ChunkBytesWithCrc(const std::string& type, const std::vector<uint8_t>& data, uint32_t crc)
{
    std::vector<uint8_t> out;
    Put32(out, uint32_t(data.size()));
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    Put32(out, crc);
    return out;
}

std::vector<uint8_t> ChunkBytes(const std::string& type, const std::vector<uint8_t>& data)
{
    return ChunkBytesWithCrc(type, data, Crc(type, data));
}

std::vector<uint8_t> Ihdr(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, uint8_t interlace)
{
    std::vector<uint8_t> data;
    Put32(data, width);
    Put32(data, height);
    data.insert(data.end(), {depth, colorType, 0, 0, interlace});
    return data;
}

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw, int level)
{
    uLongf size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, raw.data(), uLong(raw.size()), level) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

std::vector<uint8_t> File(const std::vector<Chunk>& chunks)
{
    std::vector<uint8_t> out = Signature();
    for (const Chunk& chunk : chunks) {
        const std::vector<uint8_t> bytes = ChunkBytes(chunk.type, chunk.data);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

std::vector<ParsedChunk> ParseChunks(const std::vector<uint8_t>& file)
{
    std::vector<ParsedChunk> chunks;
    size_t at = 8;
    while (at + 12 <= file.size()) {
        ParsedChunk chunk;
        chunk.offset = at;
        const uint32_t length = Get32(&file[at]);
        if (at + 12 + length > file.size())
            break;
        chunk.type.assign(file.begin() + long(at) + 4, file.begin() + long(at) + 8);
        chunk.data.assign(file.begin() + long(at) + 8, file.begin() + long(at + 8 + length));
        chunk.crc = Get32(&file[at + 8 + length]);
        chunks.push_back(chunk);
        at += 12 + length;
    }
    return chunks;
}

std::vector<uint8_t> InflatedImageData(const std::vector<uint8_t>& file)
{
    std::vector<uint8_t> packed;
    for (const ParsedChunk& chunk : ParseChunks(file))
        if (chunk.type == "IDAT")
            packed.insert(packed.end(), chunk.data.begin(), chunk.data.end());
    z_stream z{};
    inflateInit(&z);
    z.next_in = packed.data();
    z.avail_in = uInt(packed.size());
    std::vector<uint8_t> out;
    uint8_t buffer[65536];
    int code;
    do {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        code = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
    } while (code == Z_OK);
    inflateEnd(&z);
    if (code != Z_STREAM_END)
        throw std::runtime_error("image data does not inflate");
    return out;
}

void LoadInto(corvalin::TBitmap& bitmap, const std::vector<uint8_t>& file)
{
    corvalin::TPNGImage png;
    png.LoadFromBytes(file);
    bitmap.AssignPicture(&png);
}

std::vector<uint8_t> SaveFrom(const corvalin::TBitmap& bitmap)
{
    corvalin::TPNGImage png;
    png.Assign(bitmap);
    corvalin::TMemoryStream stream;
    png.SaveToStream(stream);
    return stream.TakeBytes();
}

uint32_t PixelRgb(const corvalin::TBitmap& bitmap, int x, int y)
{
    const corvalin::TColor c = corvalin::ReadRasterPixel(*bitmap.Raster(), x, y);
    return uint32_t(corvalin::RedOf(c)) << 16 | uint32_t(corvalin::GreenOf(c)) << 8 | corvalin::BlueOf(c);
}

}  // namespace pngtest

#include "formats/png/PngExif.h"

#include <algorithm>
#include <memory>

#include "formats/metadata/Exif.h"
#include "formats/png/PngImage.h"

namespace corvalin {

namespace {

constexpr TChunkType keXIf = MakeChunkType("eXIf");

}  // namespace

std::vector<uint8_t> ReadExifBlock(TPNGImage& png)
{
    const auto found =
        std::find_if(png.Chunks().begin(), png.Chunks().end(), [](const auto& chunk) { return chunk->Type == keXIf; });
    if (found == png.Chunks().end() || !png.SideData().Charge((*found)->Data.size()))
        return {};
    return (*found)->Data;
}

void AddExifBlock(TPNGImage& png, std::span<const uint8_t> block)
{
    auto chunk = std::make_unique<TChunk>(png);
    chunk->Type = keXIf;
    chunk->Data = ExifForPicture(block, png.Width(), png.Height());
    png.InsertAfterHeader(std::move(chunk));
}

}  // namespace corvalin

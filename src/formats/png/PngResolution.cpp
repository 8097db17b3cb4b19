#include "formats/png/PngResolution.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "common/ByteCursor.h"
#include "formats/metadata/PictureMetadata.h"
#include "formats/png/PngImage.h"

namespace corvalin {

namespace {

constexpr TChunkType kpHYs = MakeChunkType("pHYs");
constexpr size_t kPhysBytes = 9;
constexpr uint8_t kPerMetre = 1;
constexpr double kMetresPerInch = 0.0254;
// The format allows 2^31 - 1 per metre.
constexpr double kLargestPerMetre = 2147483647.0;

}  // namespace

void ReadResolution(const TPNGImage& png, TPictureMetadata& metadata)
{
    const auto found =
        std::find_if(png.Chunks().begin(), png.Chunks().end(), [](const auto& chunk) { return chunk->Type == kpHYs; });
    if (found == png.Chunks().end())
        return;
    const std::vector<uint8_t>& data = (*found)->Data;
    if (data.size() != kPhysBytes || data[8] != kPerMetre)
        return;
    const uint32_t x = Get32(data.data(), TByteOrder::BigEndian);
    const uint32_t y = Get32(data.data() + 4, TByteOrder::BigEndian);
    if (x == 0 || y == 0)
        return;
    metadata.xPixelsPerInch = x * kMetresPerInch;
    metadata.yPixelsPerInch = y * kMetresPerInch;
}

void AddResolution(TPNGImage& png, const TPictureMetadata& metadata)
{
    const double x = std::round(metadata.xPixelsPerInch / kMetresPerInch);
    const double y = std::round(metadata.yPixelsPerInch / kMetresPerInch);
    if (!(x >= 1 && x <= kLargestPerMetre && y >= 1 && y <= kLargestPerMetre))
        return;
    auto chunk = std::make_unique<TChunk>(png);
    chunk->Type = kpHYs;
    Put32(chunk->Data, uint32_t(x), TByteOrder::BigEndian);
    Put32(chunk->Data, uint32_t(y), TByteOrder::BigEndian);
    chunk->Data.push_back(kPerMetre);
    png.InsertAfterHeader(std::move(chunk));
}

}  // namespace corvalin

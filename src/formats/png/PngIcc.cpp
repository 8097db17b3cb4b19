#include "formats/png/PngIcc.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "common/Limits.h"
#include "formats/metadata/PictureMetadata.h"
#include "formats/png/PngImage.h"
#include "formats/png/PngZlib.h"

namespace corvalin {

namespace {

constexpr TChunkType kiCCP = MakeChunkType("iCCP");
constexpr TChunkType ksRGB = MakeChunkType("sRGB");
constexpr uint8_t kRelativeColorimetric = 1;
// The keyword names the profile for people; 1 to 79 Latin-1 characters.
constexpr std::string_view kKeyword = "ICC profile";
constexpr size_t kMaxKeyword = 79;
constexpr uint8_t kDeflate = 0;

}  // namespace

std::vector<uint8_t> ReadIccProfile(const TPNGImage& png)
{
    const auto found = std::find_if(png.Chunks().begin(), png.Chunks().end(),
                                     [](const auto& chunk) { return chunk->Type == kiCCP; });
    if (found == png.Chunks().end())
        return {};
    const std::vector<uint8_t>& data = (*found)->Data;
    const auto keywordEnd = std::find(data.begin(), data.end(), uint8_t(0));
    const size_t methodAt = size_t(keywordEnd - data.begin()) + 1;
    if (methodAt < 2 || methodAt > kMaxKeyword + 1 || methodAt >= data.size() || data[methodAt] != kDeflate)
        return {};
    auto profile = InflateBounded(std::span(data).subspan(methodAt + 1), size_t(kMaxSideDataBytes));
    return profile ? std::move(*profile) : std::vector<uint8_t>{};
}

void AddIccProfile(TPNGImage& png, std::span<const uint8_t> profile)
{
    if (!IsRgbIccProfile(profile))
        return;
    auto chunk = std::make_unique<TChunk>(png);
    chunk->Type = kiCCP;
    chunk->Data.assign(kKeyword.begin(), kKeyword.end());
    chunk->Data.push_back(0);
    chunk->Data.push_back(kDeflate);
    const std::vector<uint8_t> packed = DeflateWhole(profile, png.CompressionLevel);
    chunk->Data.insert(chunk->Data.end(), packed.begin(), packed.end());
    png.InsertAfterHeader(std::move(chunk));
}

void AddSrgbChunk(TPNGImage& png)
{
    auto chunk = std::make_unique<TChunk>(png);
    chunk->Type = ksRGB;
    chunk->Data = {kRelativeColorimetric};
    png.InsertAfterHeader(std::move(chunk));
}

}  // namespace corvalin

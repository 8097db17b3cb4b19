#include "formats/metadata/MetadataBlocks.h"

#include <algorithm>
#include <string_view>

#include "formats/metadata/Exif.h"

namespace corvalin {

namespace {

constexpr uint8_t kAPP1 = 0xE1;
using namespace std::string_view_literals;
// The identifier an XMP packet carries in a JPEG segment.
constexpr std::string_view kXmpIdentifier = "http://ns.adobe.com/xap/1.0/\0"sv;

bool StartsWith(std::span<const uint8_t> bytes, std::string_view prefix)
{
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

std::span<const uint8_t> XmpSegmentPacket(const TJpegSegment& segment)
{
    if (segment.marker != kAPP1 || !StartsWith(segment.bytes, kXmpIdentifier))
        return {};
    return std::span<const uint8_t>(segment.bytes).subspan(kXmpIdentifier.size());
}

}  // namespace

void KeepExifBlock(TPictureMetadata& metadata, std::span<const uint8_t> block, bool upright, TSideDataBudget& budget)
{
    if (StartsWith(block, std::string_view(reinterpret_cast<const char*>(kExifIdentifier), 6)))
        block = block.subspan(sizeof kExifIdentifier);
    if (block.empty() || !budget.Charge(block.size() + sizeof kExifIdentifier))
        return;
    std::vector<uint8_t> segment(std::begin(kExifIdentifier), std::end(kExifIdentifier));
    segment.insert(segment.end(), block.begin(), block.end());
    if (upright)
        SetExifOrientationUpright(segment);
    metadata.jpegSegments.push_back({kAPP1, std::move(segment)});
}

void KeepXmpPacket(TPictureMetadata& metadata, std::span<const uint8_t> packet, TSideDataBudget& budget)
{
    if (packet.empty() || !budget.Charge(packet.size() + kXmpIdentifier.size()))
        return;
    std::vector<uint8_t> segment(kXmpIdentifier.begin(), kXmpIdentifier.end());
    segment.insert(segment.end(), packet.begin(), packet.end());
    metadata.jpegSegments.push_back({kAPP1, std::move(segment)});
}

void KeepIccProfile(TPictureMetadata& metadata, std::span<const uint8_t> profile, TSideDataBudget& budget)
{
    if (profile.empty() || !metadata.iccProfile.empty() || !budget.Charge(profile.size()))
        return;
    metadata.iccProfile.assign(profile.begin(), profile.end());
    metadata.iccPosition = metadata.jpegSegments.size();
}

std::vector<uint8_t> ExifBlockForPicture(const TPictureMetadata& metadata, int32_t width, int32_t height, bool upright)
{
    for (const TJpegSegment& segment : metadata.jpegSegments)
        if (segment.marker == kAPP1 && IsExifSegment(segment.bytes)) {
            std::vector<uint8_t> exif = ExifForPicture(segment.bytes, width, height);
            if (upright)
                SetExifOrientationUpright(exif);
            exif.erase(exif.begin(), exif.begin() + sizeof kExifIdentifier);
            return exif;
        }
    return {};
}

std::span<const uint8_t> XmpPacketOf(const TPictureMetadata& metadata)
{
    for (const TJpegSegment& segment : metadata.jpegSegments)
        if (std::span<const uint8_t> packet = XmpSegmentPacket(segment); !packet.empty())
            return packet;
    return {};
}

}  // namespace corvalin

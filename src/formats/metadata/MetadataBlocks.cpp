#include "formats/metadata/MetadataBlocks.h"

#include <algorithm>

#include "formats/metadata/Exif.h"

namespace corvalin {

void KeepExifBlock(TPictureMetadata& metadata, std::span<const uint8_t> block, bool upright,
                   TSideDataBudget& budget)
{
    if (IsExifSegment(block))
        block = block.subspan(sizeof kExifIdentifier);
    if (block.empty() || !metadata.exif.empty() || !budget.Charge(block.size()))
        return;
    metadata.exif.assign(block.begin(), block.end());
    if (upright)
        SetExifOrientationUpright(metadata.exif);
}

void KeepXmpPacket(TPictureMetadata& metadata, std::span<const uint8_t> packet,
                   TSideDataBudget& budget)
{
    if (packet.empty() || !metadata.xmp.empty() || !budget.Charge(packet.size()))
        return;
    metadata.xmp.assign(packet.begin(), packet.end());
}

void KeepIccProfile(TPictureMetadata& metadata, std::span<const uint8_t> profile,
                    TSideDataBudget& budget)
{
    if (profile.empty() || !metadata.iccProfile.empty() || !budget.Charge(profile.size()))
        return;
    metadata.iccProfile.assign(profile.begin(), profile.end());
}

std::vector<uint8_t> ExifBlockForPicture(const TPictureMetadata& metadata, int32_t width,
                                         int32_t height, bool upright)
{
    if (metadata.exif.empty())
        return {};
    std::vector<uint8_t> exif = ExifForPicture(metadata.exif, width, height);
    if (upright)
        SetExifOrientationUpright(exif);
    return exif;
}

std::span<const uint8_t> XmpPacketOf(const TPictureMetadata& metadata)
{
    return metadata.xmp;
}

}  // namespace corvalin

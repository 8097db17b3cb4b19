#include "formats/tiff/TiffMetadata.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "common/Exceptions.h"
#include "formats/metadata/Exif.h"
#include "formats/tiff/TiffDirectory.h"

namespace corvalin {

namespace {

constexpr uint16_t kTagXmp = 700, kTagIptc = 33723, kTagPhotoshop = 34377, kTagIcc = 34675;
constexpr uint16_t kTagOrientation = 274;

// The entry's bytes, or nothing when they are damaged.
std::vector<uint8_t> RawOrNothing(const TTiffDirectory& directory, uint16_t tag)
{
    try {
        const auto raw = directory.Raw(tag);
        return {raw.begin(), raw.end()};
    } catch (const Exception&) {
        return {};
    }
}

std::string TextOf(const TTiffDirectory& directory, uint16_t tag)
{
    const std::vector<uint8_t> raw = RawOrNothing(directory, tag);
    return std::string(raw.begin(), std::find(raw.begin(), raw.end(), uint8_t(0)));
}

}  // namespace

TPictureMetadata ReadTiffMetadata(std::span<const uint8_t> file)
{
    TPictureMetadata metadata;
    try {
        TTiffDirectory directory(file);
        if (!directory.Select(0))
            return metadata;
        metadata.iccProfile = RawOrNothing(directory, kTagIcc);
        metadata.xmp = RawOrNothing(directory, kTagXmp);
        metadata.photoshop = RawOrNothing(directory, kTagPhotoshop);
        if (metadata.photoshop.empty()) {
            const std::vector<uint8_t> iptc = RawOrNothing(directory, kTagIptc);
            if (!iptc.empty())
                metadata.photoshop = PhotoshopWithIptc(iptc);
        }
        std::vector<std::pair<uint16_t, std::string>> texts;
        for (const uint16_t tag : kExifTextTags)
            texts.emplace_back(tag, TextOf(directory, tag));
        metadata.exif = ExifOfTexts(texts, int(directory.Value(kTagOrientation, 0)));
    } catch (const Exception&) {
        // A file whose directory cannot be read has its pixels refused anyway.
    }
    return metadata;
}

}  // namespace corvalin

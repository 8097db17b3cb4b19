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
constexpr uint16_t kTagExifIfd = 34665, kTagGpsIfd = 34853;
constexpr uint16_t kTagOrientation = 274, kTagXResolution = 282, kTagYResolution = 283, kTagResolutionUnit = 296;
constexpr uint32_t kUnitInch = 2, kUnitCentimetre = 3;
constexpr double kCentimetresPerInch = 2.54;

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

// A resolution in inches or centimetres; one without a unit is a ratio only.
void ReadResolution(const TTiffDirectory& directory, TPictureMetadata& metadata)
{
    const uint32_t unit = directory.Value(kTagResolutionUnit, kUnitInch);
    if (unit != kUnitInch && unit != kUnitCentimetre)
        return;
    const double scale = unit == kUnitCentimetre ? kCentimetresPerInch : 1.0;
    const double x = directory.Rational(kTagXResolution, 0, 0) * scale;
    const double y = directory.Rational(kTagYResolution, 0, 0) * scale;
    if (x > 0 && y > 0 && x < 1e6 && y < 1e6) {
        metadata.xPixelsPerInch = x;
        metadata.yPixelsPerInch = y;
    }
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
        const TExifDirectories linked =
            ReadExifDirectories(file, directory.Value(kTagExifIfd, 0), directory.Value(kTagGpsIfd, 0));
        metadata.exif = ExifOfTexts(texts, int(directory.Value(kTagOrientation, 0)), linked);
        ReadResolution(directory, metadata);
    } catch (const Exception&) {
        // A file whose directory cannot be read has its pixels refused anyway.
    }
    return metadata;
}

}  // namespace corvalin

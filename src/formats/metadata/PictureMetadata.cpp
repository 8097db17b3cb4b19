#include "formats/metadata/PictureMetadata.h"

#include <cstring>

#include "common/ByteCursor.h"

namespace corvalin {

namespace {

// ICC header: declared size at 0, data colour space at 16, "acsp" at 36.
constexpr size_t kIccHeaderBytes = 128;
constexpr size_t kIccColorSpaceAt = 16;
constexpr size_t kIccSignatureAt = 36;

bool HasTag(std::span<const uint8_t> bytes, size_t at, const char (&tag)[5])
{
    return std::memcmp(bytes.data() + at, tag, 4) == 0;
}

}  // namespace

bool IsRgbIccProfile(std::span<const uint8_t> profile)
{
    if (profile.size() < kIccHeaderBytes)
        return false;
    return Get32(profile.data(), TByteOrder::BigEndian) == profile.size() &&
           HasTag(profile, kIccSignatureAt, "acsp") && HasTag(profile, kIccColorSpaceAt, "RGB ");
}

}  // namespace corvalin

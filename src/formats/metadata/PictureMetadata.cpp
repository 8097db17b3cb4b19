#include "formats/metadata/PictureMetadata.h"

#include <cstring>

#include "common/ByteCursor.h"

namespace corvalin {

namespace {

// ICC header: declared size at 0, data colour space at 16, "acsp" at 36.
constexpr size_t kIccHeaderBytes = 128;
constexpr size_t kIccColorSpaceAt = 16;
constexpr size_t kIccSignatureAt = 36;

constexpr uint16_t kIptcResource = 0x0404;

bool HasTag(std::span<const uint8_t> bytes, size_t at, const char (&tag)[5])
{
    return std::memcmp(bytes.data() + at, tag, 4) == 0;
}

struct TDamagedResources {};

[[noreturn]] void ThrowDamagedResources()
{
    throw TDamagedResources{};
}

}  // namespace

std::string IccColorSpace(std::span<const uint8_t> profile)
{
    if (profile.size() < kIccHeaderBytes || Get32(profile.data(), TByteOrder::BigEndian) != profile.size() ||
        !HasTag(profile, kIccSignatureAt, "acsp"))
        return {};
    return std::string(reinterpret_cast<const char*>(profile.data()) + kIccColorSpaceAt, 4);
}

bool IsRgbIccProfile(std::span<const uint8_t> profile)
{
    return IccColorSpace(profile) == "RGB ";
}

// Each resource: "8BIM", its number, a Pascal name padded to even length,
// the data's length and the data padded to even length.
std::span<const uint8_t> PhotoshopResource(std::span<const uint8_t> resources, uint16_t wanted)
{
    TByteCursor in(resources, ThrowDamagedResources);
    try {
        while (in.Remaining() >= 12) {
            if (std::memcmp(in.Bytes(4).data(), "8BIM", 4) != 0)
                return {};
            const uint16_t id = in.U16BE();
            const uint8_t nameLength = in.U8();
            in.Skip(nameLength + ((nameLength + 1) % 2));
            const uint32_t length = in.U32BE();
            const auto data = in.Bytes(length);
            if (id == wanted)
                return data;
            if (length % 2 != 0 && in.Remaining() > 0)
                in.Skip(1);
        }
    } catch (const TDamagedResources&) {
    }
    return {};
}

std::span<const uint8_t> IptcOfPhotoshop(std::span<const uint8_t> resources)
{
    return PhotoshopResource(resources, kIptcResource);
}

std::vector<uint8_t> PhotoshopWithIptc(std::span<const uint8_t> iptc)
{
    std::vector<uint8_t> resources = {'8', 'B', 'I', 'M'};
    Put16(resources, kIptcResource, TByteOrder::BigEndian);
    resources.insert(resources.end(), {0, 0});  // no name
    Put32(resources, uint32_t(iptc.size()), TByteOrder::BigEndian);
    resources.insert(resources.end(), iptc.begin(), iptc.end());
    if (iptc.size() % 2 != 0)
        resources.push_back(0);
    return resources;
}

}  // namespace corvalin

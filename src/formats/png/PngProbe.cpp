#include "formats/png/PngProbe.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/ByteCursor.h"
#include "formats/metadata/Exif.h"

namespace corvalin {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kHeaderBytes = 13;

TProbeColour ColourOfType(uint8_t colourType)
{
    switch (colourType) {
    case 0: case 4: return TProbeColour::Grey;
    case 3: return TProbeColour::Palette;
    default: return TProbeColour::Rgb;
    }
}

void ReadHeader(std::span<const uint8_t> header, TProbe& probe)
{
    probe.width = int32_t(std::min<uint32_t>(Get32(header.data(), TByteOrder::BigEndian), INT32_MAX));
    probe.height = int32_t(std::min<uint32_t>(Get32(header.data() + 4, TByteOrder::BigEndian), INT32_MAX));
    probe.bitsPerSample = header[8];
    probe.colour = ColourOfType(header[9]);
    probe.alpha = header[9] == 4 || header[9] == 6;
}

}  // namespace

std::optional<TProbe> ProbePngFile(std::span<const uint8_t> file)
{
    if (file.size() < sizeof kSignature || std::memcmp(file.data(), kSignature, sizeof kSignature) != 0)
        return std::nullopt;
    TByteCursor in(file);
    in.Skip(sizeof kSignature);
    TProbe probe;
    bool header = false;
    // Chunks cut short end the walk: what came before still describes the picture.
    while (in.Remaining() >= 8) {
        const uint32_t length = in.U32BE();
        const std::string_view type(reinterpret_cast<const char*>(in.Bytes(4).data()), 4);
        if (length > in.Remaining())
            break;
        const std::span<const uint8_t> data = in.Bytes(length);
        if (type == "IHDR" && length >= kHeaderBytes) {
            ReadHeader(data, probe);
            header = true;
        } else if (type == "tRNS") {
            probe.alpha = true;
        } else if (type == "iCCP") {
            probe.iccProfile = true;
        } else if (type == "eXIf") {
            probe.orientation = std::max(ExifOrientation(data), 1);
        } else if (type == "IEND") {
            break;
        }
        if (in.Remaining() < 4)
            break;
        in.Skip(4);  // the checksum
    }
    if (!header)
        return std::nullopt;
    return probe;
}

}  // namespace corvalin

#include "formats/jpeg/JpegProbe.h"

#include <algorithm>

#include "common/ByteCursor.h"
#include "formats/jpeg/JpegMetadata.h"
#include "formats/metadata/Exif.h"

namespace corvalin {

namespace {

constexpr uint8_t kStartOfScan = 0xDA;

// The start-of-frame markers: C0..CF but for the Huffman table (C4), the
// arithmetic conditioning (CC) and the reserved C8.
bool IsFrameHeader(uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers without a length: the restart markers, TEM and the fill byte.
bool StandsAlone(uint8_t marker)
{
    return (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01 || marker == 0xFF;
}

TProbeColour ColourOfComponents(uint8_t components)
{
    switch (components) {
    case 1: return TProbeColour::Grey;
    case 4: return TProbeColour::Cmyk;
    default: return TProbeColour::YCbCr;
    }
}

}  // namespace

std::optional<TProbe> ProbeJpegFile(std::span<const uint8_t> file)
{
    TByteCursor in(file);
    if (in.U8() != 0xFF || in.U8() != 0xD8)
        return std::nullopt;
    for (;;) {
        if (in.U8() != 0xFF)
            return std::nullopt;
        const uint8_t marker = in.U8();
        if (StandsAlone(marker))
            continue;
        if (marker == kStartOfScan)
            return std::nullopt;
        const uint16_t length = in.U16BE();
        if (length < 2)
            return std::nullopt;
        const std::span<const uint8_t> segment = in.Bytes(length - 2u);
        if (!IsFrameHeader(marker))
            continue;
        if (segment.size() < 6)
            return std::nullopt;
        TProbe probe;
        probe.bitsPerSample = segment[0];
        probe.height = Get16(segment.data() + 1, TByteOrder::BigEndian);
        probe.width = Get16(segment.data() + 3, TByteOrder::BigEndian);
        probe.colour = ColourOfComponents(segment[5]);
        if (probe.height == 0)
            return std::nullopt;
        const TPictureMetadata metadata = ReadJpegMetadata(file);
        probe.orientation = std::max(ExifOrientation(metadata.exif), 1);
        probe.iccProfile = !metadata.iccProfile.empty();
        probe.cmykProfile = IccColorSpace(metadata.iccProfile) == "CMYK";
        return probe;
    }
}

}  // namespace corvalin

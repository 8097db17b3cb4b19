#include "formats/Probe.h"

#include <algorithm>

#include "common/Exceptions.h"
#include "formats/FormatTable.h"
#include "formats/metadata/Exif.h"
#include "formats/metadata/PictureMetadata.h"
#include "picture/Bitmap.h"

namespace corvalin {

namespace {

bool IsGreyColour(TColor colour)
{
    const uint32_t red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
    return red == green && green == blue;
}

TProbeColour DecodedColour(const TRaster& raster, const TSourceReport& source)
{
    if (source.colourModel == TSourceReport::TColourModel::Cmyk)
        return TProbeColour::Cmyk;
    if (source.colourModel == TSourceReport::TColourModel::Lab)
        return TProbeColour::Lab;
    if (raster.palette.empty())
        return TProbeColour::Rgb;
    return std::all_of(raster.palette.begin(), raster.palette.end(), IsGreyColour) ? TProbeColour::Grey
                                                                                   : TProbeColour::Palette;
}

}  // namespace

TProbe ProbeByDecoding(const TFormatRow& row, std::span<const uint8_t> file)
{
    TBitmap picture;
    TPictureMetadata metadata;
    TProbe probe;
    probe.pictures = row.Load(picture, file, metadata);
    probe.width = picture.Width();
    probe.height = picture.Height();
    probe.orientation = std::max(ExifOrientation(metadata.exif), 1);
    probe.bitsPerSample = metadata.source.bitsPerSample;
    if (const TRaster* raster = picture.Raster()) {
        probe.colour = DecodedColour(*raster, metadata.source);
        probe.alpha = raster->hasAlpha || raster->transparentIndex >= 0;
    }
    probe.iccProfile = !metadata.iccProfile.empty();
    probe.cmykProfile = IccColorSpace(metadata.iccProfile) == "CMYK";
    probe.layers = metadata.source.layers;
    probe.damaged = metadata.source.damaged;
    return probe;
}

TProbe ProbeThroughRow(const TFormatRow& row, std::span<const uint8_t> file)
{
    // A header the probe cannot read is left to the reader, whose error
    // names what is wrong with the file.
    try {
        if (row.Probe != nullptr)
            if (std::optional<TProbe> probe = row.Probe(file))
                return *probe;
    } catch (const Exception&) {
    }
    return ProbeByDecoding(row, file);
}

}  // namespace corvalin

#include "formats/reader/ReaderGraphic.h"

#include "common/Exceptions.h"
#include "common/Limits.h"
#include "formats/metadata/Exif.h"

namespace corvalin {

void ThrowInvalidFormat(const std::string& format)
{
    throw EInvalidGraphic(FormatText("Cannot load image. Invalid or unexpected %s image format.", {format}));
}

void ThrowInvalidColorFormat(const std::string& format)
{
    throw EInvalidGraphic(FormatText("Invalid color format in %s file.", {format}));
}

void ThrowNotSupported(const std::string& what, const std::string& format)
{
    throw EInvalidGraphic(FormatText("Cannot load image. %s not supported for %s files.", {what, format}));
}

bool TReaderGraphic::ReadPictureInfo(std::span<const uint8_t>, uint32_t)
{
    properties_ = TImageProperties{};
    damaged_ = false;
    return false;
}

TSourceReport TReaderGraphic::SourceReport() const
{
    TSourceReport report;
    report.damaged = damaged_;
    report.bitsPerSample = std::max<uint8_t>(properties_.BitsPerSample, 1);
    if (properties_.ColorScheme == TColorScheme::csCMYK || properties_.ColorScheme == TColorScheme::csCMY)
        report.colourModel = TSourceReport::TColourModel::Cmyk;
    else if (properties_.ColorScheme == TColorScheme::csCIELab)
        report.colourModel = TSourceReport::TColourModel::Lab;
    return report;
}

void TReaderGraphic::AssignPicture(const TGraphic* source)
{
    if (const auto* reader = dynamic_cast<const TReaderGraphic*>(source))
        properties_ = reader->properties_;
    TBitmap::AssignPicture(source);
}

void TReaderGraphic::CreateTargetRaster(const std::string& format)
{
    const TPixelFormat pixelFormat = colorManager_.TargetPixelFormat();
    if (pixelFormat == TPixelFormat::pfCustom)
        ThrowInvalidColorFormat(format);
    NewRaster(properties_.Width, properties_.Height, pixelFormat);
}

int64_t TReaderGraphic::TargetRasterBytes(const std::string& format) const
{
    const TPixelFormat pixelFormat = colorManager_.TargetPixelFormat();
    if (pixelFormat == TPixelFormat::pfCustom)
        ThrowInvalidColorFormat(format);
    return CheckedRasterBytes(properties_.Width, properties_.Height, StorageBitsOf(pixelFormat));
}

namespace {

TProbeColour ColourOf(TColorScheme scheme)
{
    switch (scheme) {
    case TColorScheme::csIndexed: return TProbeColour::Palette;
    case TColorScheme::csG: case TColorScheme::csGA: return TProbeColour::Grey;
    case TColorScheme::csCMY: case TColorScheme::csCMYK: return TProbeColour::Cmyk;
    case TColorScheme::csCIELab: return TProbeColour::Lab;
    case TColorScheme::csYCbCr: case TColorScheme::csPhotoYCC: return TProbeColour::YCbCr;
    default: return TProbeColour::Rgb;
    }
}

}  // namespace

TProbe ProbeOfDescription(const TImageProperties& properties)
{
    TProbe probe;
    probe.width = properties.Width;
    probe.height = properties.Height;
    probe.bitsPerSample = properties.BitsPerSample;
    probe.colour = ColourOf(properties.ColorScheme);
    const TColorScheme scheme = properties.ColorScheme;
    probe.alpha = properties.HasAlpha || scheme == TColorScheme::csGA || scheme == TColorScheme::csRGBA ||
                  scheme == TColorScheme::csBGRA;
    return probe;
}

void ProbeMetadata(const TPictureMetadata& metadata, TProbe& probe)
{
    probe.orientation = std::max(ExifOrientation(metadata.exif), 1);
    probe.iccProfile = !metadata.iccProfile.empty();
    probe.cmykProfile = IccColorSpace(metadata.iccProfile) == "CMYK";
}

}  // namespace corvalin

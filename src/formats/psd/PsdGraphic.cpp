#include "formats/psd/PsdGraphic.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/Limits.h"
#include "formats/metadata/PictureMetadata.h"
#include "formats/psd/PsdRows.h"
#include "picture/Backdrop.h"

namespace corvalin {

namespace {

constexpr const char* kFormat = "PSD or PDD";
constexpr const char* kColorFormat = "PSD";
constexpr size_t kHeaderSize = 26;
constexpr size_t kPaletteBytes = 768;  // 256 red, then 256 green, then 256 blue values

enum TPsdMode : uint16_t {
    pmBitmap = 0, pmGrey = 1, pmIndexed = 2, pmRGB = 3, pmCMYK = 4, pmMultichannel = 7, pmDuotone = 8, pmLab = 9
};

TColorScheme SchemeOf(uint16_t mode, uint16_t channels)
{
    switch (mode) {
    case pmBitmap: case pmGrey: case pmDuotone:
        return TColorScheme::csG;
    case pmIndexed:
        return TColorScheme::csIndexed;
    case pmRGB: case pmMultichannel:
        return channels == 3 ? TColorScheme::csRGB : TColorScheme::csRGBA;
    case pmCMYK:
        return TColorScheme::csCMYK;
    case pmLab:
        return TColorScheme::csCIELab;
    default:
        return TColorScheme::csUnknown;
    }
}

bool IsSingleChannel(TColorScheme scheme)
{
    return scheme == TColorScheme::csG || scheme == TColorScheme::csIndexed;
}

// The layer count of the layer and mask section: the layer records' count,
// negative when the first alpha channel holds the merged picture's
// transparency. Documents of 16 or 32 bits keep their layers in a tagged
// block after the global mask instead.
uint32_t LayerCountOf(std::span<const uint8_t> section)
{
    TByteCursor cursor(section);
    if (cursor.Remaining() < 4)
        return 0;
    const uint32_t infoLength = cursor.U32BE();
    auto count = [](TByteCursor& at) { return uint32_t(std::abs(int(int16_t(at.U16BE())))); };
    if (infoLength >= 2)
        return count(cursor);
    if (cursor.Remaining() < 4)
        return 0;
    cursor.Skip(cursor.U32BE());  // global layer mask
    while (cursor.Remaining() >= 12) {
        const std::span<const uint8_t> signature = cursor.Bytes(4);
        const std::span<const uint8_t> key = cursor.Bytes(4);
        const uint32_t length = cursor.U32BE();
        if (std::memcmp(signature.data(), "8BIM", 4) != 0 && std::memcmp(signature.data(), "8B64", 4) != 0)
            return 0;
        const bool layers = std::memcmp(key.data(), "Lr16", 4) == 0 || std::memcmp(key.data(), "Lr32", 4) == 0 ||
                            std::memcmp(key.data(), "Layr", 4) == 0;
        if (layers && length >= 2)
            return count(cursor);
        if (length > cursor.Remaining())
            return 0;
        cursor.Skip(length);
    }
    return 0;
}

// Grey and indexed rows of 2 to 7 bits go to the next depth a bitmap has.
uint8_t SingleChannelTargetBits(uint8_t depth)
{
    return depth == 1 ? 1 : depth <= 4 ? 4 : 8;
}

}  // namespace

bool TPSDGraphic::ReadPictureInfo(std::span<const uint8_t> file, uint32_t index)
{
    TReaderGraphic::ReadPictureInfo(file, index);
    TByteCursor cursor(file);
    const std::span<const uint8_t> signature = cursor.Bytes(4);
    if (std::memcmp(signature.data(), "8BPS", 4) != 0)
        return false;
    cursor.Skip(2 + 6);  // version, reserved
    channels_ = cursor.U16BE();
    const uint32_t height = cursor.U32BE();
    const uint32_t width = cursor.U32BE();
    const uint16_t depth = cursor.U16BE();
    colorMode_ = cursor.U16BE();
    cursor.Skip(cursor.U32BE());  // colour mode data
    cursor.Skip(cursor.U32BE());  // image resources
    layers_ = LayerCountOf(cursor.Bytes(cursor.U32BE()));
    const uint16_t compression = cursor.U16BE();

    if (width > uint32_t(INT32_MAX) || height > uint32_t(INT32_MAX))
        throw EOutOfResources(msg::OutOfResources);
    properties_.Options = ioBigEndian | (colorMode_ == pmBitmap ? ioMinIsWhite : 0u);
    properties_.Width = int32_t(width);
    properties_.Height = int32_t(height);
    // Depths above 255 stay above 16, where the colour manager refuses them.
    properties_.BitsPerSample = uint8_t(std::min<uint16_t>(depth, 255));
    properties_.SamplesPerPixel = uint8_t(std::min<uint16_t>(channels_, 4));
    properties_.BitsPerPixel = uint8_t(properties_.SamplesPerPixel * std::min<uint16_t>(depth, 63));
    properties_.Compression = compression == 1 ? TCompressionType::ctPackedBits : TCompressionType::ctNone;
    properties_.ColorScheme = SchemeOf(colorMode_, channels_);
    properties_.FileGamma = 1.0f;
    return true;
}

void TPSDGraphic::LoadFromBytes(std::span<const uint8_t> file)
{
    Clear();
    if (!ReadPictureInfo(file, 0))
        ThrowInvalidFormat(kFormat);
    Load(file);
}

void TPSDGraphic::SetUpColorManager()
{
    const TColorScheme scheme = properties_.ColorScheme;
    const uint8_t depth = properties_.BitsPerSample;
    TColorManager& colors = colorManager_;
    colors.SetSourceColorScheme(scheme);
    colors.SetSourceBitsPerSample(depth);
    colors.SetSourceSamplesPerPixel(properties_.SamplesPerPixel);
    uint32_t options = coNeedByteSwap;
    if (IsSingleChannel(scheme)) {
        // Only the first channel is read, whatever else the document holds.
        colors.SetSourceSamplesPerPixel(1);
        colors.SetTargetColorScheme(scheme);
        colors.SetTargetSamplesPerPixel(1);
        colors.SetTargetBitsPerSample(SingleChannelTargetBits(depth));
    } else {
        const bool alpha = scheme == TColorScheme::csRGBA;
        colors.SetTargetColorScheme(alpha ? TColorScheme::csBGRA : TColorScheme::csBGR);
        colors.SetTargetSamplesPerPixel(alpha ? 4 : 3);
        colors.SetTargetBitsPerSample(8);
        if (scheme == TColorScheme::csCIELab)
            options |= coLabByteRange | coLabChromaOffset;
    }
    colors.SetSourceOptions(options);
}

void TPSDGraphic::Load(std::span<const uint8_t> file)
{
    convertedThrough_ = false;
    const TColorScheme scheme = properties_.ColorScheme;
    if (scheme == TColorScheme::csUnknown)
        ThrowInvalidFormat(kFormat);  // a colour mode nothing here can show
    SetUpColorManager();
    if (properties_.Width == 0 || properties_.Height == 0)
        return;  // no pixels: an empty picture, not one of 0 x 2^31 rows
    TargetRasterBytes(kColorFormat);  // its errors before any row is looked at
    TByteCursor cursor(file);
    cursor.Seek(kHeaderSize);
    const uint32_t colorDataLength = cursor.U32BE();
    const size_t paletteBytes = std::min<size_t>(colorDataLength, kPaletteBytes);
    const std::span<const uint8_t> colorData = cursor.Bytes(paletteBytes);
    cursor.Skip(colorDataLength - paletteBytes);
    std::optional<std::vector<TColor>> palette;
    if (scheme == TColorScheme::csIndexed && paletteBytes >= 3) {
        const size_t count = paletteBytes / 3;
        const uint8_t* planes[] = {colorData.data(), colorData.data() + count, colorData.data() + 2 * count};
        palette = colorManager_.MakeColorPalette(planes, TPaletteLayout::Plane8Triple, count, true);
    } else if (scheme == TColorScheme::csG) {
        palette = colorManager_.MakeGreyPalette(properties_.Has(ioMinIsWhite));
    }
    cursor.Skip(cursor.U32BE());  // image resources
    cursor.Skip(cursor.U32BE());  // layer and mask information
    cursor.Skip(2);               // compression

    const size_t rowBytes = (size_t(properties_.Width) * properties_.BitsPerSample + 7) / 8;
    const size_t planes = IsSingleChannel(scheme) ? 1 : properties_.SamplesPerPixel;
    const bool packBits = properties_.Compression == TCompressionType::ctPackedBits;
    TPsdRows rows(file.subspan(cursor.Position()), packBits, uint32_t(properties_.Height), channels_, planes,
                  rowBytes);
    // Decided from the row table before the picture is allocated.
    if (FillsTooLittle(rows.FillableBytes(), uint64_t(rowBytes) * uint32_t(properties_.Height) * planes))
        ThrowInvalidFormat(kFormat);
    CreateTargetRaster(kColorFormat);
    if (palette)
        SetPalette(std::move(*palette));
    ConvertRows(rows, planes, rowBytes);
    damaged_ = rows.FilledIn();
    convertedThrough_ = ConvertsInksThroughProfile();
}

bool TPSDGraphic::ConvertsInksThroughProfile() const
{
    return cmykThrough_ && properties_.ColorScheme == TColorScheme::csCMYK &&
           (properties_.BitsPerSample == 8 || properties_.BitsPerSample == 16);
}

TSourceReport TPSDGraphic::SourceReport() const
{
    TSourceReport report = TReaderGraphic::SourceReport();
    report.layers = layers_;
    return report;
}

void TPSDGraphic::ConvertRows(TPsdRows& rows, size_t planes, size_t rowBytes)
{
    const bool invert = properties_.ColorScheme == TColorScheme::csCMYK;
    const bool throughProfile = ConvertsInksThroughProfile();
    // Rows of the depth the bitmap has are read or decoded straight into
    // the scan line; others pass through the colour manager.
    const bool direct = planes == 1 && colorManager_.TargetBitsPerSample() == properties_.BitsPerSample;
    std::vector<uint8_t> room(planes * rowBytes);
    std::vector<const uint8_t*> sources(planes);
    std::vector<uint8_t> inks(throughProfile ? size_t(properties_.Width) * 4 : 0);
    TRaster& raster = MutableRaster();
    for (int32_t y = 0; y < properties_.Height; ++y) {
        uint8_t* scan = raster.Row(y);
        if (direct) {
            const uint8_t* row = rows.NextRow(0, scan);
            if (row != scan)
                std::memcpy(scan, row, rowBytes);
        } else {
            for (size_t k = 0; k < planes; ++k) {
                uint8_t* own = room.data() + k * rowBytes;
                sources[k] = rows.NextRow(k, own);
                if (invert) {
                    // The file stores 255 - ink; the conversion wants ink.
                    for (size_t i = 0; i < rowBytes; ++i)
                        own[i] = uint8_t(~sources[k][i]);
                    sources[k] = own;
                }
            }
            if (throughProfile)
                ConvertInkRow(sources, properties_.BitsPerSample / 8, inks, scan);
            else
                colorManager_.ConvertPixels(sources, 0xFF, size_t(properties_.Width), scan);
        }
    }
    // The fourth channel of an RGB document is its transparency; other
    // modes' extra channels are not.
    if (colorMode_ == pmRGB && properties_.ColorScheme == TColorScheme::csRGBA)
        MarkAlphaWhenTransparent(raster);
}

void TPSDGraphic::ConvertInkRow(const std::vector<const uint8_t*>& planes, size_t sampleBytes,
                                std::vector<uint8_t>& inks, uint8_t* scan) const
{
    // Samples of 16 bits are big-endian: their first byte is the 8-bit value.
    const size_t width = inks.size() / 4;
    for (size_t x = 0; x < width; ++x)
        for (size_t k = 0; k < 4; ++k)
            inks[x * 4 + k] = planes[k][x * sampleBytes];
    cmykThrough_(inks.data(), int(width), scan);
}

namespace {

// The colour profile, XMP and IPTC of the image resources, kept within the
// side-data budget.
TPictureMetadata ReadPsdMetadata(std::span<const uint8_t> file)
{
    constexpr uint16_t kIptc = 1028, kIccProfile = 1039, kXmp = 1060;
    TPictureMetadata metadata;
    try {
        TByteCursor cursor(file);
        cursor.Seek(kHeaderSize);
        cursor.Skip(cursor.U32BE());  // colour mode data
        const auto resources = cursor.Bytes(cursor.U32BE());
        const auto profile = PhotoshopResource(resources, kIccProfile);
        const auto xmp = PhotoshopResource(resources, kXmp);
        const auto iptc = PhotoshopResource(resources, kIptc);
        if (profile.size() + xmp.size() + iptc.size() > size_t(kMaxSideDataBytes))
            return metadata;
        metadata.iccProfile.assign(profile.begin(), profile.end());
        metadata.xmp.assign(xmp.begin(), xmp.end());
        if (!iptc.empty())
            metadata.photoshop = PhotoshopWithIptc(iptc);
    } catch (const Exception&) {
        // Resources cut short are left out; the pixels are the reader's to refuse.
    }
    return metadata;
}

}  // namespace

TPictureMetadata TPSDGraphic::ReadMetadata(std::span<const uint8_t> file)
{
    return ReadPsdMetadata(file);
}

size_t LoadPsdCmykToSrgb(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    TPSDGraphic reader;
    const TPictureMetadata side = ReadPsdMetadata(file);
    reader.ConvertCmykThrough(CmykToSrgbThrough(side.iccProfile));
    reader.LoadFromBytes(file);
    metadata = side;
    picture.AssignPicture(&reader);
    metadata.source = reader.SourceReport();
    if (reader.ConvertedThroughProfile()) {
        metadata.iccProfile.clear();
        metadata.isSrgb = true;
    }
    return reader.PictureCount();
}

}  // namespace corvalin

#include "formats/pcd/PcdGraphic.h"

#include <cstring>
#include <vector>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "formats/pcd/PcdChroma.h"

namespace corvalin {

namespace {

constexpr size_t kSectorSize = 2048;
constexpr size_t kHeaderBytes = 3 * kSectorSize;
constexpr size_t kOrientationOffset = 3586;
constexpr uint32_t kBaseResolution = kPcdLoadedResolution;
constexpr uint32_t kHighestResolution = 5;
// Where the uncompressed base picture starts, and an overview file's first thumbnail.
constexpr size_t kBaseSector = 96;
constexpr size_t kOverviewSector = 5;

int32_t WidthAt(uint32_t resolution) { return 192 << resolution; }
int32_t HeightAt(uint32_t resolution) { return 128 << resolution; }

// Where each row of the stored picture is: groups of two luma rows of
// `width` bytes, then half a row of each chroma component.
struct TPcdPlanes {
    const uint8_t* data;
    size_t width;

    size_t GroupBytes() const { return 3 * width; }
    const uint8_t* Luma(size_t row) const { return data + row / 2 * GroupBytes() + row % 2 * width; }
    const uint8_t* Chroma1(size_t group) const { return data + group * GroupBytes() + 2 * width; }
    const uint8_t* Chroma2(size_t group) const { return Chroma1(group) + width / 2; }
};

}  // namespace

bool TPCDGraphic::ReadPictureInfo(std::span<const uint8_t> file, uint32_t index)
{
    TReaderGraphic::ReadPictureInfo(file, index);
    TByteCursor cursor(file);
    const std::span<const uint8_t> header = cursor.Bytes(kHeaderBytes);
    const bool overview = std::memcmp(header.data(), "PCD_OPA", 7) == 0;
    const bool imagePack = std::memcmp(header.data() + kSectorSize, "PCD", 3) == 0;
    if (!overview && !imagePack)
        return false;
    const uint32_t resolution = overview ? 0 : std::min(index, kHighestResolution);
    // An overview's thumbnails are stored upright; the byte means nothing there.
    const uint8_t orientation = overview ? 0 : header[kOrientationOffset] & 3;
    const bool portrait = orientation == 1 || orientation == 3;
    properties_.Overview = overview;
    properties_.Orientation = orientation;
    properties_.Width = portrait ? HeightAt(resolution) : WidthAt(resolution);
    properties_.Height = portrait ? WidthAt(resolution) : HeightAt(resolution);
    properties_.ColorScheme = TColorScheme::csPhotoYCC;
    properties_.BitsPerSample = 8;
    properties_.SamplesPerPixel = 3;
    properties_.BitsPerPixel = 24;
    properties_.Compression = resolution < 3 ? TCompressionType::ctNone : TCompressionType::ctPCDHuffmann;
    properties_.FileGamma = 1.0f;
    properties_.ImageCount = Get16(header.data() + 10, TByteOrder::BigEndian);
    return true;
}

void TPCDGraphic::LoadFromBytes(std::span<const uint8_t> file)
{
    Clear();
    if (!ReadPictureInfo(file, kBaseResolution))
        return;
    Load(file);
}

void TPCDGraphic::Load(std::span<const uint8_t> file)
{
    const bool overview = properties_.Overview;
    const uint32_t resolution = overview ? 0 : kBaseResolution;
    const size_t width = size_t(WidthAt(resolution));
    const size_t height = size_t(HeightAt(resolution));
    const size_t start = (overview ? kOverviewSector : kBaseSector) * kSectorSize;
    const TByteCursor cursor(file);
    const TPcdPlanes stored{cursor.At(start, height / 2 * 3 * width).data(), width};

    colorManager_.SetSourceColorScheme(TColorScheme::csPhotoYCC);
    colorManager_.SetSourceBitsPerSample(8);
    colorManager_.SetSourceSamplesPerPixel(3);
    colorManager_.SetTargetColorScheme(TColorScheme::csBGR);
    colorManager_.SetTargetBitsPerSample(8);
    colorManager_.SetTargetSamplesPerPixel(3);
    colorManager_.SetYCbCrParameters({0.2125f, 0.7154f, 0.0721f}, 2, 2);

    std::vector<uint8_t> chroma1(width * height), chroma2(width * height);
    for (size_t group = 0; group < height / 2; ++group) {
        WidenChromaRow(stored.Chroma1(group), width / 2, chroma1.data() + 2 * group * width);
        WidenChromaRow(stored.Chroma2(group), width / 2, chroma2.data() + 2 * group * width);
    }
    FillOddChromaRows(chroma1.data(), width, height);
    FillOddChromaRows(chroma2.data(), width, height);

    const uint8_t orientation = properties_.Orientation;
    const bool portrait = orientation == 1 || orientation == 3;
    NewRaster(properties_.Width, properties_.Height, TPixelFormat::pf24bit);
    TRaster& raster = MutableRaster();
    std::vector<uint8_t> turned(portrait ? width * 3 : 0);
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* sources[] = {stored.Luma(y), chroma1.data() + y * width, chroma2.data() + y * width};
        if (!portrait) {
            colorManager_.ConvertPixels(sources, 0xFF, width, raster.Row(int(y)));
        } else {
            colorManager_.ConvertPixels(sources, 0xFF, width, turned.data());
            // Orientation 1 turns a quarter anticlockwise, 3 a quarter clockwise.
            for (size_t x = 0; x < width; ++x) {
                const size_t line = orientation == 1 ? width - 1 - x : x;
                const size_t column = orientation == 1 ? y : height - 1 - y;
                std::memcpy(raster.Row(int(line)) + 3 * column, turned.data() + 3 * x, 3);
            }
        }
    }
}

TSourceReport TPCDGraphic::SourceReport() const
{
    TSourceReport report = TReaderGraphic::SourceReport();
    report.photoCd = !Empty();
    return report;
}

}  // namespace corvalin

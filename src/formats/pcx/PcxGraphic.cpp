#include "formats/pcx/PcxGraphic.h"

#include <array>
#include <cstring>
#include <memory>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/LargeBlocks.h"
#include "common/Limits.h"
#include "formats/pcx/PcxRleDecoder.h"

namespace corvalin {

namespace {

constexpr const char* kFormat = "PCX";
constexpr size_t kHeaderSize = 128;
// The 256-colour trailer: the marker 12 and 256 red, green, blue triples.
constexpr size_t kTrailerSize = 769;
constexpr uint8_t kTrailerMarker = 12;
// A run of two bytes repeats one byte up to 63 times.
constexpr uint64_t kMostPerPackedByte = 32;

struct TPcxHeader {
    uint8_t Manufacturer = 0;
    uint8_t Version = 0;
    uint8_t Encoding = 0;
    uint8_t BitsPerPlane = 0;
    uint16_t XMin = 0, YMin = 0, XMax = 0, YMax = 0;
    uint16_t HorizontalResolution = 0, VerticalResolution = 0;
    std::span<const uint8_t> ColorMap;  // 16 red, green, blue triples
    uint8_t Planes = 0;
    uint16_t BytesPerLine = 0;
    uint16_t PaletteInfo = 0;
};

TPcxHeader ReadHeader(std::span<const uint8_t> file)
{
    TByteCursor cursor(file);
    const std::span<const uint8_t> bytes = cursor.Bytes(kHeaderSize);
    auto word = [&](size_t offset) { return Get16(bytes.data() + offset, TByteOrder::LittleEndian); };
    TPcxHeader h;
    h.Manufacturer = bytes[0];
    h.Version = bytes[1];
    h.Encoding = bytes[2];
    h.BitsPerPlane = bytes[3];
    h.XMin = word(4);
    h.YMin = word(6);
    h.XMax = word(8);
    h.YMax = word(10);
    h.HorizontalResolution = word(12);
    h.VerticalResolution = word(14);
    h.ColorMap = bytes.subspan(16, 48);
    h.Planes = bytes[65];
    h.BytesPerLine = word(66);
    h.PaletteInfo = word(68);
    return h;
}

// The plane and bit combinations the row loop knows.
enum class TPcxLayout { Mono, TwoBit, FourBit, EightBit, FourPlanes, TrueColour };

TPcxLayout LayoutOf(const TPcxHeader& h)
{
    if (h.Planes == 1)
        switch (h.BitsPerPlane) {
        case 1: return TPcxLayout::Mono;
        case 2: return TPcxLayout::TwoBit;
        case 4: return TPcxLayout::FourBit;
        case 8: return TPcxLayout::EightBit;
        default: break;
        }
    if (h.Planes == 4 && h.BitsPerPlane == 1)
        return TPcxLayout::FourPlanes;
    if (h.Planes == 3 && h.BitsPerPlane == 8)
        return TPcxLayout::TrueColour;
    ThrowInvalidColorFormat(kFormat);
}

// The palette of version 3 files, which carry no colour map of their own.
constexpr std::array<TColor, 16> kStandardPalette = {
    RGB(0, 0, 0), RGB(128, 0, 0), RGB(0, 128, 0), RGB(128, 128, 0),
    RGB(0, 0, 128), RGB(128, 0, 128), RGB(0, 128, 128), RGB(128, 128, 128),
    RGB(192, 192, 192), RGB(255, 0, 0), RGB(0, 255, 0), RGB(255, 255, 0),
    RGB(0, 0, 255), RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};

// Four one-bit planes of eight pixels make four bytes of 4-bit indexes. The
// table puts bit 7 - j of a plane byte at bit 0 of pixel j's nibble in a
// big-endian word; plane k is shifted k more bits up.
struct TPlaneSpread {
    std::array<uint32_t, 256> bits{};
    constexpr TPlaneSpread()
    {
        for (int b = 0; b < 256; ++b)
            for (int j = 0; j < 8; ++j)
                if (b & (0x80 >> j))
                    bits[size_t(b)] |= 1u << (28 - 4 * j);
    }
};
constexpr TPlaneSpread kPlaneSpread;

void ConvertFourPlaneRow(const uint8_t* line, size_t bytesPerLine, int32_t width, uint8_t* scan)
{
    const uint8_t* p0 = line;
    const uint8_t* p1 = line + bytesPerLine;
    const uint8_t* p2 = line + 2 * bytesPerLine;
    const uint8_t* p3 = line + 3 * bytesPerLine;
    const size_t groups = (size_t(width) + 7) / 8;
    for (size_t g = 0; g < groups; ++g, scan += 4) {
        uint32_t word = kPlaneSpread.bits[p0[g]] | kPlaneSpread.bits[p1[g]] << 1 |
                        kPlaneSpread.bits[p2[g]] << 2 | kPlaneSpread.bits[p3[g]] << 3;
        const size_t valid = size_t(width) - g * 8;
        if (valid < 8)
            word &= ~0u << (32 - 4 * valid);  // no stray pixels past the width
        scan[0] = uint8_t(word >> 24);
        scan[1] = uint8_t(word >> 16);
        scan[2] = uint8_t(word >> 8);
        scan[3] = uint8_t(word);
    }
}

// 2-bit values 0..3 become the 4-bit indexes 0, 5, 10 and 15: one byte of
// four pixels gives two bytes.
struct TTwoBitWiden {
    std::array<uint16_t, 256> bytes{};
    constexpr TTwoBitWiden()
    {
        for (int b = 0; b < 256; ++b) {
            uint16_t v = 0;
            for (int j = 0; j < 4; ++j)
                v = uint16_t(v << 4 | ((b >> (6 - 2 * j)) & 3) * 5);
            bytes[size_t(b)] = v;
        }
    }
};
constexpr TTwoBitWiden kTwoBitWiden;

void ConvertTwoBitRow(const uint8_t* line, int32_t width, uint8_t* scan)
{
    const size_t count = (size_t(width) * 2 + 7) / 8;
    for (size_t i = 0; i < count; ++i, scan += 2) {
        const uint16_t v = kTwoBitWiden.bytes[line[i]];
        scan[0] = uint8_t(v >> 8);
        scan[1] = uint8_t(v);
    }
}

bool HasTrailer(std::span<const uint8_t> file)
{
    return file.size() >= kTrailerSize && file[file.size() - kTrailerSize] == kTrailerMarker;
}

// The palette rules in their order; `current` is the one the pixel format gave.
std::vector<TColor> PaletteOf(const TColorManager& colors, const TPcxHeader& header, std::span<const uint8_t> file,
                              TPcxLayout layout, const std::vector<TColor>& current)
{
    if (header.Version == 3 && layout != TPcxLayout::Mono)
        return {kStandardPalette.begin(), kStandardPalette.end()};
    if (layout == TPcxLayout::Mono)
        return colors.MakeGreyPalette(false);
    if (layout != TPcxLayout::EightBit) {
        if (header.PaletteInfo == 2)
            return colors.MakeGreyPalette(false);
        const uint8_t* map[] = {header.ColorMap.data()};
        return colors.MakeColorPalette(map, TPaletteLayout::Interleaved8Triple, 16, true);
    }
    if (HasTrailer(file)) {
        const uint8_t* trailer[] = {file.data() + file.size() - kTrailerSize + 1};
        return colors.MakeColorPalette(trailer, TPaletteLayout::Interleaved8Triple, 256, true);
    }
    if (header.PaletteInfo == 2)
        return colors.MakeGreyPalette(false);
    return current;
}

}  // namespace

bool TPCXGraphic::ReadPictureInfo(std::span<const uint8_t> file, uint32_t index)
{
    TReaderGraphic::ReadPictureInfo(file, index);
    TByteCursor cursor(file);
    const uint8_t manufacturer = cursor.U8();
    if (manufacturer != 10 && manufacturer != 205)
        return false;
    const TPcxHeader h = ReadHeader(file);
    const int32_t width = int32_t(h.XMax) - int32_t(h.XMin) + 1;
    const int32_t height = int32_t(h.YMax) - int32_t(h.YMin) + 1;
    const int bitsPerPixel = int(h.BitsPerPlane) * int(h.Planes);
    if (width < 0 || height < 0 || bitsPerPixel > 255)
        throw ERangeError(msg::RangeError);
    properties_.Width = width;
    properties_.Height = height;
    properties_.BitsPerSample = h.BitsPerPlane;
    properties_.SamplesPerPixel = h.Planes;
    properties_.BitsPerPixel = uint8_t(bitsPerPixel);
    properties_.ColorScheme = bitsPerPixel <= 8 ? TColorScheme::csIndexed : TColorScheme::csRGB;
    properties_.Compression = h.Encoding == 1 ? TCompressionType::ctRLE : TCompressionType::ctNone;
    properties_.XResolution = h.HorizontalResolution;
    properties_.YResolution = h.VerticalResolution;
    properties_.FileGamma = 1.0f;
    return true;
}

void TPCXGraphic::LoadFromBytes(std::span<const uint8_t> file)
{
    Clear();
    if (!ReadPictureInfo(file, 0))
        return;
    Load(file);
}

void TPCXGraphic::Load(std::span<const uint8_t> file)
{
    const TPcxHeader header = ReadHeader(file);
    size_t packedSize = file.size() - kHeaderSize;

    const bool indexed = properties_.ColorScheme == TColorScheme::csIndexed;
    TColorManager& colors = colorManager_;
    colors.SetSourceColorScheme(properties_.ColorScheme);
    colors.SetSourceBitsPerSample(properties_.BitsPerSample);
    colors.SetSourceSamplesPerPixel(properties_.SamplesPerPixel);
    colors.SetTargetColorScheme(indexed ? TColorScheme::csIndexed : TColorScheme::csBGR);
    colors.SetTargetBitsPerSample(properties_.BitsPerPixel == 2 ? 4 : properties_.BitsPerSample);
    colors.SetTargetSamplesPerPixel(properties_.SamplesPerPixel);
    const TPcxLayout layout = LayoutOf(header);

    const int32_t width = properties_.Width;
    const int32_t height = properties_.Height;
    const size_t bytesPerLine = header.BytesPerLine;
    if (bytesPerLine < (size_t(width) * header.BitsPerPlane + 7) / 8)
        ThrowInvalidFormat(kFormat);  // a plane row cannot hold the width
    const size_t lineSize = size_t(header.Planes) * bytesPerLine;
    if (lineSize != 0 && size_t(height) > size_t(kMaxRasterBytes) / lineSize)
        throw EOutOfResources(msg::OutOfResources);

    // A palette trailer is no picture data, even where the data ends early;
    // without the trailer every byte after the header is.
    if (layout == TPcxLayout::EightBit && HasTrailer(file))
        packedSize = packedSize > kTrailerSize ? packedSize - kTrailerSize : 0;
    const size_t decodedSize = size_t(height) * lineSize;
    const bool runLength = properties_.Compression == TCompressionType::ctRLE;
    if (FillsTooLittle(uint64_t(packedSize) * (runLength ? kMostPerPackedByte : 1), decodedSize))
        ThrowInvalidFormat(kFormat);
    if (layout == TPcxLayout::FourPlanes)
        NewRaster(width, height, TPixelFormat::pf4bit);
    else
        CreateTargetRaster(kFormat);
    if (layout != TPcxLayout::TrueColour)
        SetPalette(PaletteOf(colors, header, file, layout, Palette()));

    // The whole picture decoded at once; what the file does not reach stays zero.
    const std::span<const uint8_t> packed = file.subspan(kHeaderSize, packedSize);
    TLargeBytes buffer(decodedSize);  // counts against the run's memory budget
    size_t filled;
    if (runLength) {
        TPCXRLEDecoder decoder;
        filled = decoder.DecodeBlock(packed, {buffer.data(), decodedSize});
    } else {
        filled = std::min(packed.size(), decodedSize);
        std::memcpy(buffer.data(), packed.data(), filled);
    }
    std::memset(buffer.data() + filled, 0, decodedSize - filled);
    damaged_ = filled < decodedSize;

    TRaster& raster = MutableRaster();
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* line = buffer.data() + size_t(y) * lineSize;
        uint8_t* scan = raster.Row(y);
        switch (layout) {
        case TPcxLayout::FourPlanes:
            ConvertFourPlaneRow(line, bytesPerLine, width, scan);
            break;
        case TPcxLayout::TwoBit:
            ConvertTwoBitRow(line, width, scan);
            break;
        case TPcxLayout::TrueColour: {
            const uint8_t* planes[] = {line, line + bytesPerLine, line + 2 * bytesPerLine};
            colors.ConvertPixels(planes, 0xFF, size_t(width), scan);
            break;
        }
        default: {
            const uint8_t* planes[] = {line};
            colors.ConvertPixels(planes, 0xFF, size_t(width), scan);
            break;
        }
        }
    }
}

}  // namespace corvalin

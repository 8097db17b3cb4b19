// The plain description a reader fills from a file's header before it
// touches any pixel: size, sample layout, colour scheme and compression.
#pragma once

#include <cstdint>
#include <vector>

namespace corvalin {

enum class TColorScheme {
    csUnknown, csIndexed, csG, csGA, csRGB, csRGBA, csBGR, csBGRA, csCMY, csCMYK, csCIELab,
    csYCbCr, csPhotoYCC
};

enum class TCompressionType {
    ctUnknown, ctNone, ctRLE, ctPackedBits, ctLZW, ctFax3, ctFaxRLE, ctFax4, ctFaxRLEW, ctLZ77,
    ctJPEG, ctOJPEG, ctThunderscan, ctNext, ctIT8CTPAD, ctIT8LW, ctIT8MP, ctIT8BL, ctPixarFilm,
    ctPixarLog, ctDCS, ctJBIG, ctPCDHuffmann
};

// Flags of TImageProperties::Options.
enum TImageOption : uint32_t {
    ioTiled = 1, ioBigEndian = 2, ioMinIsWhite = 4, ioReversed = 8
};

struct TImageProperties {
    uint32_t Version = 0;
    uint32_t Options = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    TColorScheme ColorScheme = TColorScheme::csUnknown;
    uint8_t BitsPerSample = 0;
    uint8_t SamplesPerPixel = 0;
    uint8_t BitsPerPixel = 0;
    TCompressionType Compression = TCompressionType::ctUnknown;
    float FileGamma = 1.0f;
    float XResolution = 0;
    float YResolution = 0;
    bool Interlaced = false;
    bool HasAlpha = false;
    uint32_t FirstIFD = 0;
    uint32_t PlanarConfig = 0;
    uint32_t CurrentRow = 0;
    uint32_t TileWidth = 0;
    uint32_t TileLength = 0;
    uint32_t BytesPerLine = 0;
    std::vector<uint32_t> RowsPerStrip;
    std::vector<uint8_t> YCbCrSubSampling;
    std::vector<uint8_t> JPEGTables;
    uint32_t JPEGColorMode = 0;
    uint32_t JPEGTablesMode = 3;
    uint32_t CurrentStrip = 0;
    uint32_t StripCount = 0;
    uint32_t Predictor = 0;
    bool Overview = false;
    uint8_t Orientation = 0;
    uint16_t ImageCount = 0;

    bool Has(TImageOption option) const { return (Options & option) != 0; }
};

}  // namespace corvalin

// The libjpeg sessions behind TJPEGImage: reading a header, decoding a whole
// file into a raster, encoding a raster into JFIF bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "formats/colour/SrgbConversion.h"
#include "formats/jpeg/JpegMetadata.h"
#include "formats/jpeg/JpegSession.h"
#include "formats/metadata/PictureMetadata.h"
#include "picture/Raster.h"
#include "picture/RowSampling.h"

namespace corvalin {

// What the header of a JPEG file says, before any pixel is decoded.
struct TJpegHeader {
    int32_t width = 0;
    int32_t height = 0;
    bool grayscale = false;       // one-component file
    bool multipleScans = false;   // progressive (or otherwise multi-scan) file
};

// Parses the header; throws EJPEG for data libjpeg rejects and
// EOutOfResources when the picture would break the raster limit.
TJpegHeader ReadJpegHeader(std::span<const uint8_t> data);

// Decodes at full size with block smoothing: a 24-bit raster for colour
// (also CMYK/YCCK) files, an 8-bit raster with at most 236 grey levels in
// its palette for greyscale files. Damaged or truncated data decodes as far
// as it goes. Colour files deliver only the rows sampled for the number of
// rows that `rows` answers, when it is given (see TRowRequest). When report
// is given it learns whether data were filled in and the file's colour model.
std::shared_ptr<TRaster> DecodeJpeg(std::span<const uint8_t> data, const TRowRequest& rows = {},
                                    TSourceReport* report = nullptr);

// As DecodeJpeg with every row, reduced while decoding by the largest of 8,
// 4 and 2 that `reduction` allows (libjpeg's DCT scaling, each side rounded
// up); at full size when it allows less than 2.
std::shared_ptr<TRaster> DecodeJpegReduced(std::span<const uint8_t> data, const TReductionRequest& reduction,
                                           TSourceReport* report = nullptr);

// As DecodeJpeg with every row, a CMYK file's inks (Adobe's inverted ones
// turned back) brought to RGB by `cmyk` instead of the formula.
std::shared_ptr<TRaster> DecodeJpegThrough(std::span<const uint8_t> data, const TCmykRowConversion& cmyk,
                                           TSourceReport* report = nullptr);

// Encodes the raster, whatever its layout, as a baseline JFIF file with the
// density in its header; the markers follow the JFIF header.
std::vector<uint8_t> EncodeJpeg(const TRaster& raster, int quality, std::span<const TJpegMarker> markers = {},
                                const TJpegDensity& density = {});

}  // namespace corvalin

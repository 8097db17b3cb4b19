#include "formats/tiff/TiffJpeg.h"

#include <string>

namespace corvalin {

namespace {

[[noreturn]] void Fail(const char* text)
{
    throw EGraphicCompression(text);
}

[[noreturn]] void FailWithCode(int code)
{
    throw EGraphicCompression("JPEG decompression error (libjpeg message " + std::to_string(code) + ").");
}

}  // namespace

TTIFFJPEGDecoder::TTIFFJPEGDecoder(const TImageProperties& properties, TColorScheme photometric,
                                   std::span<const uint8_t> tables)
    : properties_(properties), photometric_(photometric), tables_(tables)
{
}

TTIFFJPEGDecoder::~TTIFFJPEGDecoder()
{
    JpegSessionDestroy(session_);
}

void TTIFFJPEGDecoder::DecodeInit()
{
    if (session_ != nullptr)
        return;
    session_ = JpegSessionCreate();
    if (session_ == nullptr)
        throw EOutOfResources(msg::OutOfResources);
    if (tables_.empty())
        return;
    bool tablesOnly = false;
    if (JpegReadTables(session_, tables_.data(), tables_.size(), tablesOnly) != 0 || !tablesOnly)
        Fail("Bogus JPEG tables field.");
}

void TTIFFJPEGDecoder::DecodeEnd()
{
    JpegSessionDestroy(session_);
    session_ = nullptr;
}

void TTIFFJPEGDecoder::ExpectBlock(uint32_t width, uint32_t rows)
{
    width_ = width;
    rows_ = rows;
}

int TTIFFJPEGDecoder::OutputComponents() const
{
    if (properties_.PlanarConfig == 2)
        return 1;
    return properties_.SamplesPerPixel;
}

void TTIFFJPEGDecoder::CheckHeader(const TJpegBlockHeader& header) const
{
    if (header.width != width_ || header.height != rows_)
        Fail("Improper JPEG strip/tile size.");
    const bool chunky = properties_.PlanarConfig != 2;
    if (header.components != (chunky ? properties_.SamplesPerPixel : 1))
        Fail("Improper JPEG component count.");
    if (header.precision != properties_.BitsPerSample)
        Fail("Improper JPEG data precision.");
    int h = 1, v = 1;
    if (chunky && photometric_ == TColorScheme::csYCbCr && properties_.YCbCrSubSampling.size() >= 2) {
        h = properties_.YCbCrSubSampling[0];
        v = properties_.YCbCrSubSampling[1];
    }
    if (header.firstH != h || header.firstV != v || (chunky && !header.othersOneByOne))
        Fail("Improper JPEG sampling factors.");
}

size_t TTIFFJPEGDecoder::DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked)
{
    DecodeInit();
    TJpegBlockHeader header;
    int status = JpegReadHeader(session_, packed.data(), packed.size(), header);
    if (status != 0)
        FailWithCode(status);
    CheckHeader(header);
    const size_t rowBytes = size_t(width_) * size_t(OutputComponents());
    if (rowBytes == 0 || unpacked.size() % rowBytes != 0)
        Fail("Fractional JPEG scanline unsupported.");
    TJpegColor stored = TJpegColor::Unknown, output = TJpegColor::Unknown;
    if (OutputComponents() == 1) {
        stored = output = TJpegColor::Grey;
    } else if (photometric_ == TColorScheme::csYCbCr) {
        stored = TJpegColor::YCbCr;
        output = TJpegColor::RGB;
    } else if (photometric_ == TColorScheme::csRGB || photometric_ == TColorScheme::csRGBA) {
        stored = output = TJpegColor::RGB;
    } else if (photometric_ == TColorScheme::csCMYK) {
        stored = output = TJpegColor::CMYK;
    }
    status = JpegStartDecompress(session_, stored, output);
    uint32_t rows = 0;
    if (status == 0)
        status = JpegReadRows(session_, unpacked.data(), rowBytes, uint32_t(unpacked.size() / rowBytes), rows);
    JpegAbortBlock(session_);
    if (status != 0)
        FailWithCode(status);
    return size_t(rows) * rowBytes;
}

}  // namespace corvalin

#include "formats/jpeg/JpegSession.h"

#include "common/Limits.h"

namespace corvalin {

namespace {

// libjpeg's own buffers obey the same ceiling as the raster. Real encoders
// write a dozen scans or so; every further scan walks the whole picture
// again, so hundreds of tiny ones would take minutes.
constexpr CorvalinJpegLimits kDecodeLimits{long(kMaxRasterBytes), 100};

[[noreturn]] void Throw(const CorvalinJpegFailure& failure)
{
    throw EJPEG(failure.code, failure.text);
}

}  // namespace

EJPEG::EJPEG(int messageCode, const std::string& libraryText)
    : EInvalidGraphic(FormatText("JPEG-Fehler #%d", {std::to_string(messageCode)}), libraryText),
      code_(messageCode)
{
}

TJpegDecoder::TJpegDecoder(std::span<const uint8_t> data, std::span<const uint8_t> tables)
{
    CorvalinJpegFailure failure{};
    session_ = corvalin_jpeg_decoder_open(tables.data(), tables.size(), data.data(), data.size(),
                                          kDecodeLimits, &failure);
    if (session_ == nullptr)
        Throw(failure);
}

TJpegDecoder::~TJpegDecoder()
{
    corvalin_jpeg_decoder_close(session_);
}

void TJpegDecoder::Fail() const
{
    Throw(*corvalin_jpeg_decoder_failure(session_));
}

bool TJpegDecoder::HasMultipleScans()
{
    int multiple = 0;
    if (!corvalin_jpeg_decoder_has_multiple_scans(session_, &multiple))
        Fail();
    return multiple != 0;
}

void TJpegDecoder::Start()
{
    if (!corvalin_jpeg_decoder_start(session_))
        Fail();
}

unsigned TJpegDecoder::ReadRows(JSAMPARRAY rows, unsigned count)
{
    unsigned read = 0;
    if (!corvalin_jpeg_decoder_read_rows(session_, rows, count, &read))
        Fail();
    return read;
}

unsigned TJpegDecoder::SkipRows(unsigned count)
{
    unsigned skipped = 0;
    if (!corvalin_jpeg_decoder_skip_rows(session_, count, &skipped))
        Fail();
    return skipped;
}

void TJpegDecoder::Finish()
{
    if (!corvalin_jpeg_decoder_finish(session_))
        Fail();
}

TJpegEncoder::TJpegEncoder(size_t expectedSize)
{
    CorvalinJpegFailure failure{};
    session_ = corvalin_jpeg_encoder_open(expectedSize, &failure);
    if (session_ == nullptr)
        Throw(failure);
}

TJpegEncoder::~TJpegEncoder()
{
    corvalin_jpeg_encoder_close(session_);
}

void TJpegEncoder::Fail() const
{
    Throw(*corvalin_jpeg_encoder_failure(session_));
}

void TJpegEncoder::Start(int quality, const TJpegDensity& density)
{
    if (!corvalin_jpeg_encoder_start(session_, quality, density.unit, density.x, density.y))
        Fail();
}

void TJpegEncoder::WriteMarker(int marker, std::span<const uint8_t> bytes)
{
    if (!corvalin_jpeg_encoder_write_marker(session_, marker, bytes.data(), bytes.size()))
        Fail();
}

void TJpegEncoder::WriteRows(JSAMPARRAY rows, unsigned count)
{
    if (!corvalin_jpeg_encoder_write_rows(session_, rows, count))
        Fail();
}

std::span<const uint8_t> TJpegEncoder::Finish()
{
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    if (!corvalin_jpeg_encoder_finish(session_, &bytes, &size))
        Fail();
    return {bytes, size};
}

}  // namespace corvalin

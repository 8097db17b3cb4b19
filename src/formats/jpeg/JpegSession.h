// libjpeg sessions for C++ callers: each owns a shim session, and each
// failure inside libjpeg comes back from the shim as a return value and
// leaves here as EJPEG, outside every libjpeg frame.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/Exceptions.h"
#include "formats/jpeg/JpegMetadata.h"
#include "formats/jpeg/JpegShim.h"

namespace corvalin {

// A fatal libjpeg error: the message "JPEG-Fehler #%d" carries libjpeg's
// message code, the detail libjpeg's text for it.
class EJPEG : public EInvalidGraphic {
public:
    explicit EJPEG(int messageCode, const std::string& libraryText = {});
    int MessageCode() const { return code_; }

private:
    int code_;
};

// Decompresses one datastream held in memory.
class TJpegDecoder {
public:
    // Reads the header of data, after the tables-only stream in tables when
    // one is given. Throws EJPEG when libjpeg refuses either.
    explicit TJpegDecoder(std::span<const uint8_t> data, std::span<const uint8_t> tables = {});
    ~TJpegDecoder();
    TJpegDecoder(const TJpegDecoder&) = delete;
    TJpegDecoder& operator=(const TJpegDecoder&) = delete;

    // Header fields, decoding parameters and output fields.
    jpeg_decompress_struct& Info() { return *corvalin_jpeg_decoder_info(session_); }

    bool HasMultipleScans();
    void Start();
    // Reads up to count rows; 0 when libjpeg delivers nothing more.
    unsigned ReadRows(JSAMPARRAY rows, unsigned count);
    // Passes over up to count rows without colour-converting them; returns
    // how many.
    unsigned SkipRows(unsigned count);
    void Finish();
    // Whether libjpeg has so far filled in cut-off or corrupt data.
    bool Damaged() const { return corvalin_jpeg_decoder_damaged(session_) != 0; }

private:
    [[noreturn]] void Fail() const;

    CorvalinJpegDecoder* session_;
};

// Compresses rows into a datastream held in memory.
class TJpegEncoder {
public:
    // expectedSize: the first guess of the output's size.
    explicit TJpegEncoder(size_t expectedSize);
    ~TJpegEncoder();
    TJpegEncoder(const TJpegEncoder&) = delete;
    TJpegEncoder& operator=(const TJpegEncoder&) = delete;

    // Set size, components and colour space here before Start.
    jpeg_compress_struct& Info() { return *corvalin_jpeg_encoder_info(session_); }

    // libjpeg's defaults, baseline tables of the quality and the density;
    // writes the headers.
    void Start(int quality, const TJpegDensity& density);
    // A marker segment after the headers Start wrote, before the first rows.
    void WriteMarker(int marker, std::span<const uint8_t> bytes);
    void WriteRows(JSAMPARRAY rows, unsigned count);
    // The finished datastream, owned by the encoder.
    std::span<const uint8_t> Finish();

private:
    [[noreturn]] void Fail() const;

    CorvalinJpegEncoder* session_;
};

}  // namespace corvalin

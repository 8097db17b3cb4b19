// JPEG-compressed TIFF blocks (compression 7): each strip or tile is a JPEG
// stream, often abbreviated, with the shared tables in tag 347. Decoded
// through libjpeg behind TiffJpegShim; blocks come out as interleaved 8-bit
// samples (RGB for colour data, grey for one component).
#pragma once

#include <cstdint>
#include <span>

#include "formats/reader/Decoder.h"
#include "formats/reader/ImageProperties.h"
#include "formats/tiff/TiffJpegShim.h"

namespace corvalin {

class TTIFFJPEGDecoder : public TDecoder {
public:
    // photometric tells libjpeg how the samples are stored.
    TTIFFJPEGDecoder(const TImageProperties& properties, TColorScheme photometric,
                     std::span<const uint8_t> tables);
    ~TTIFFJPEGDecoder() override;
    TTIFFJPEGDecoder(const TTIFFJPEGDecoder&) = delete;
    TTIFFJPEGDecoder& operator=(const TTIFFJPEGDecoder&) = delete;

    // Starts libjpeg and reads the tables ("Bogus JPEG tables field.").
    void DecodeInit() override;
    void DecodeEnd() override;
    // The size the next block must have: its width and its rows.
    void ExpectBlock(uint32_t width, uint32_t rows);
    // Checks the block's header against the picture (EGraphicCompression
    // "Improper JPEG ..."), then decodes whole rows into unpacked.
    size_t DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked) override;
    // Components of a decoded pixel.
    int OutputComponents() const;

private:
    void CheckHeader(const TJpegBlockHeader& header) const;

    TImageProperties properties_;
    TColorScheme photometric_;
    std::span<const uint8_t> tables_;
    TJpegSession* session_ = nullptr;
    uint32_t width_ = 0;
    uint32_t rows_ = 0;
};

}  // namespace corvalin

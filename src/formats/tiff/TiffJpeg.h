// JPEG-compressed TIFF blocks (compression 7): each strip or tile is a JPEG
// datastream, often abbreviated, with the shared tables in tag 347. Decoded
// through the libjpeg session of the JPEG codec, so that no exception ever
// crosses a libjpeg frame and library warnings are ignored. Blocks come out
// as interleaved 8-bit samples (RGB for colour data, grey for one component).
#pragma once

#include <cstdint>
#include <span>

#include "formats/reader/Decoder.h"
#include "formats/reader/ImageProperties.h"

namespace corvalin {

class TTIFFJPEGDecoder : public TDecoder {
public:
    // photometric tells libjpeg how the samples are stored.
    TTIFFJPEGDecoder(const TImageProperties& properties, TColorScheme photometric,
                     std::span<const uint8_t> tables);

    // "Bogus JPEG tables field." unless the tables are a table-only
    // datastream (SOI ... EOI).
    void DecodeInit() override;
    // The size the next block must have: its width and its rows.
    void ExpectBlock(uint32_t width, uint32_t rows);
    // Checks the block's header against the picture (EGraphicCompression
    // "Improper JPEG ..."), then decodes whole rows into unpacked. libjpeg's
    // own failures leave as EJPEG.
    size_t DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked) override;

private:
    int OutputComponents() const;

    TImageProperties properties_;
    TColorScheme photometric_;
    std::span<const uint8_t> tables_;
    uint32_t width_ = 0;
    uint32_t rows_ = 0;
};

}  // namespace corvalin

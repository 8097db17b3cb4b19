// Where the rows of a Photoshop document's composite image are: planar,
// channel after channel, each row raw or packed with its own PackBits length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/reader/Decoder.h"

namespace corvalin {

class TPsdRows {
public:
    // `data` starts after the compression word. Only the first `planes`
    // channels are ever read; their bytes must be in the file (EReadError
    // otherwise), the other channels may be missing.
    TPsdRows(std::span<const uint8_t> data, bool packBits, uint32_t height, uint16_t channels, size_t planes,
             size_t rowBytes);

    // The next row of a plane, rowBytes long: the file's own bytes when raw,
    // else decoded into `room`, zeros where the packed row falls short.
    const uint8_t* NextRow(size_t plane, uint8_t* room);
    // The most bytes of the used planes' rows that the file's data can
    // fill: all of them when raw, as far as each packed length reaches.
    uint64_t FillableBytes() const { return fillable_; }
    // Whether a packed row fell short and was filled with zeros.
    bool FilledIn() const { return filledIn_; }

private:
    std::span<const uint8_t> data_;
    bool packBits_;
    uint32_t height_;
    size_t rowBytes_;
    std::span<const uint8_t> lengths_;  // big-endian 16-bit packed length per row
    std::vector<size_t> offsets_;       // per plane, where its next row starts in data_
    std::vector<uint32_t> rows_;        // per plane, rows handed out
    TPackbitsRLEDecoder decoder_;
    uint64_t fillable_ = 0;
    bool filledIn_ = false;
};

}  // namespace corvalin

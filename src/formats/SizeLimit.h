// Holding a file under a size limit by lowering the quality it is encoded at.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace corvalin {

// Encodes one picture into memory at a quality of 1..100.
using TQualityEncoder = std::function<std::vector<uint8_t>(int32_t quality)>;

struct TFittedEncoding {
    int32_t Quality = 0;
    std::vector<uint8_t> Bytes;
};

// The highest quality from 1 up to maxQuality whose encoding holds at most
// maxBytes, with that encoding. maxQuality is tried first, as most pictures
// fit at once; below it the qualities are bisected, keeping the best
// encoding that fitted, so that none is encoded twice: at most
// 1 + ceil(log2(maxQuality)) encodes (8 for 100). The bisection takes the
// encoding's size to grow with the quality; where an encoder's does not
// quite, the answer still fits, but a slightly higher quality might have.
// Throws EInvalidOperation "Zielgröße 1 KB nicht erreichbar, kleinste Datei
// 37 KB" when even quality 1 is larger, ERangeError for a maxQuality below 1.
TFittedEncoding EncodeWithinSize(const TQualityEncoder& encode, int32_t maxQuality, int64_t maxBytes);

}  // namespace corvalin

#include "formats/reader/Decoder.h"

#include <algorithm>
#include <cstring>

namespace corvalin {

size_t TPackbitsRLEDecoder::DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked)
{
    size_t in = 0, out = 0;
    while (in < packed.size() && out < unpacked.size()) {
        const auto n = int8_t(packed[in++]);
        if (n >= 0) {
            const size_t count = std::min({size_t(n) + 1, packed.size() - in, unpacked.size() - out});
            std::memcpy(unpacked.data() + out, packed.data() + in, count);
            in += size_t(n) + 1;
            out += count;
        } else if (n != -128) {
            if (in >= packed.size())
                break;
            const size_t count = std::min(size_t(1 - n), unpacked.size() - out);
            std::memset(unpacked.data() + out, packed[in++], count);
            out += count;
        }
    }
    return out;
}

}  // namespace corvalin

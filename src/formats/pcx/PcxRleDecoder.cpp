#include "formats/pcx/PcxRleDecoder.h"

#include <algorithm>
#include <cstring>

namespace corvalin {

size_t TPCXRLEDecoder::DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked)
{
    const uint8_t* in = packed.data();
    const uint8_t* const inEnd = in + packed.size();
    uint8_t* out = unpacked.data();
    uint8_t* const outEnd = out + unpacked.size();
    while (out < outEnd && in < inEnd) {
        const uint8_t b = *in++;
        if (b < 0xC0) {
            *out++ = b;
            continue;
        }
        if (in == inEnd)
            break;  // a run whose value byte is missing
        const size_t count = std::min<size_t>(b & 0x3F, size_t(outEnd - out));
        std::memset(out, *in++, count);
        out += count;
    }
    return size_t(out - unpacked.data());
}

}  // namespace corvalin

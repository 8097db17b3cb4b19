#include "formats/tiff/TiffPixels.h"

#include <algorithm>
#include <array>

namespace corvalin {

namespace {

constexpr std::array<uint8_t, 256> MakeReversedBytes()
{
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        int r = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (i & (1 << bit))
                r |= 0x80 >> bit;
        table[size_t(i)] = uint8_t(r);
    }
    return table;
}

constexpr std::array<uint8_t, 256> kReversedBytes = MakeReversedBytes();

}  // namespace

void ReverseBits(std::span<uint8_t> bytes)
{
    for (uint8_t& b : bytes)
        b = kReversedBytes[b];
}

void UndoHorizontalDifferencing(uint8_t* row, size_t rowBytes, uint32_t width, int samples, int bitsPerSample,
                                TByteOrder order)
{
    if (width < 2)
        return;
    if (bitsPerSample == 16) {
        const size_t count = std::min(size_t(width) * size_t(samples), rowBytes / 2);
        const size_t stride = size_t(samples);
        const bool big = order == TByteOrder::BigEndian;
        for (size_t i = stride; i < count; ++i) {
            uint8_t* p = row + 2 * i;
            const uint8_t* q = p - 2 * stride;
            const auto sum = uint16_t((big ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0])) +
                                      (big ? (q[0] << 8 | q[1]) : (q[1] << 8 | q[0])));
            p[big ? 0 : 1] = uint8_t(sum >> 8);
            p[big ? 1 : 0] = uint8_t(sum);
        }
        return;
    }
    const size_t stride = bitsPerSample == 8 ? size_t(samples) : 1;
    const size_t count = bitsPerSample == 8 ? std::min(size_t(width) * stride, rowBytes) : rowBytes;
    for (size_t i = stride; i < count; ++i)
        row[i] = uint8_t(row[i] + row[i - stride]);
}

size_t SubsampledBlockBytes(uint32_t width, uint32_t rows, int h, int v)
{
    const size_t across = (size_t(width) + size_t(h) - 1) / size_t(h);
    const size_t down = (size_t(rows) + size_t(v) - 1) / size_t(v);
    return across * down * size_t(h * v + 2);
}

void ExpandSubsampledBlock(std::span<const uint8_t> units, uint32_t width, uint32_t rows, int h, int v,
                           uint8_t* triples)
{
    const size_t unitBytes = size_t(h * v + 2);
    const size_t across = (size_t(width) + size_t(h) - 1) / size_t(h);
    size_t unit = 0;
    for (uint32_t y0 = 0; y0 < rows; y0 += uint32_t(v))
        for (size_t u = 0; u < across; ++u, ++unit) {
            if ((unit + 1) * unitBytes > units.size())
                return;
            const uint8_t* p = units.data() + unit * unitBytes;
            const uint8_t cb = p[h * v], cr = p[h * v + 1];
            for (int dy = 0; dy < v; ++dy)
                for (int dx = 0; dx < h; ++dx) {
                    const size_t x = u * size_t(h) + size_t(dx), y = y0 + uint32_t(dy);
                    if (x >= width || y >= rows)
                        continue;
                    uint8_t* q = triples + (y * size_t(width) + x) * 3;
                    q[0] = p[dy * h + dx];
                    q[1] = cb;
                    q[2] = cr;
                }
        }
}

}  // namespace corvalin

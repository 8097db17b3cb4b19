#include "codecs/PngFilters.h"

#include <cstdlib>

namespace corvalin {

namespace {

// The predictor of the Paeth filter, with the published tie order: left,
// then above, then upper left.
inline uint8_t PaethPredictor(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return uint8_t(a);
    if (pb <= pc)
        return uint8_t(b);
    return uint8_t(c);
}

}  // namespace

void UnfilterRow(uint8_t type, uint8_t* row, const uint8_t* prior, size_t count, size_t bpp)
{
    const size_t lead = bpp < count ? bpp : count;
    switch (type) {
    case pfSub:
        for (size_t i = bpp; i < count; ++i)
            row[i] = uint8_t(row[i] + row[i - bpp]);
        break;
    case pfUp:
        for (size_t i = 0; i < count; ++i)
            row[i] = uint8_t(row[i] + prior[i]);
        break;
    case pfAverage:
        for (size_t i = 0; i < lead; ++i)
            row[i] = uint8_t(row[i] + (prior[i] >> 1));
        for (size_t i = bpp; i < count; ++i)
            row[i] = uint8_t(row[i] + ((row[i - bpp] + prior[i]) >> 1));
        break;
    case pfPaeth:
        for (size_t i = 0; i < lead; ++i)
            row[i] = uint8_t(row[i] + prior[i]);
        for (size_t i = bpp; i < count; ++i)
            row[i] = uint8_t(row[i] + PaethPredictor(row[i - bpp], prior[i], prior[i - bpp]));
        break;
    default:
        break;
    }
}

void FilterRow(TPngFilter type, const uint8_t* raw, const uint8_t* prior, uint8_t* out, size_t count,
               size_t bpp)
{
    const size_t lead = bpp < count ? bpp : count;
    switch (type) {
    case pfNone:
        for (size_t i = 0; i < count; ++i)
            out[i] = raw[i];
        break;
    case pfSub:
        for (size_t i = 0; i < lead; ++i)
            out[i] = raw[i];
        for (size_t i = bpp; i < count; ++i)
            out[i] = uint8_t(raw[i] - raw[i - bpp]);
        break;
    case pfUp:
        for (size_t i = 0; i < count; ++i)
            out[i] = uint8_t(raw[i] - prior[i]);
        break;
    case pfAverage:
        for (size_t i = 0; i < lead; ++i)
            out[i] = uint8_t(raw[i] - (prior[i] >> 1));
        for (size_t i = bpp; i < count; ++i)
            out[i] = uint8_t(raw[i] - ((raw[i - bpp] + prior[i]) >> 1));
        break;
    case pfPaeth:
        for (size_t i = 0; i < lead; ++i)
            out[i] = uint8_t(raw[i] - prior[i]);
        for (size_t i = bpp; i < count; ++i)
            out[i] = uint8_t(raw[i] - PaethPredictor(raw[i - bpp], prior[i], prior[i - bpp]));
        break;
    }
}

size_t RepetitionScore(const uint8_t* row, size_t count)
{
    size_t score = 0;
    for (size_t j = 2; j < count; ++j)
        if (row[j] == row[j - 1] || row[j] == row[j - 2])
            ++score;
    return score;
}

}  // namespace corvalin

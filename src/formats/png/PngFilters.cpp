#include "formats/png/PngFilters.h"

#include <cstdlib>

namespace corvalin {

namespace {

// The predictor of the Paeth filter, with the published tie order: left,
// then above, then upper left. Written without nested branches so that the
// row loops stay fast.
inline uint8_t PaethPredictor(int a, int b, int c)
{
    const int toB = b - c;
    const int toA = a - c;
    int best = std::abs(toB);            // distance of the estimate from a
    const int fromB = std::abs(toA);     // ... from b
    const int fromC = std::abs(toB + toA);  // ... from c
    int predicted = a;
    if (fromB < best) {
        best = fromB;
        predicted = b;
    }
    if (fromC < best)
        predicted = c;
    return uint8_t(predicted);
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

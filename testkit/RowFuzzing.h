// The fuzz harnesses' check of a format row's reader: bytes that load must
// give a picture with a size, a raster that matches it and a picture count;
// every byte of every row is read, so that the sanitizers see a raster
// shorter than it claims.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/Exceptions.h"
#include "formats/FormatTable.h"
#include "formats/metadata/PictureMetadata.h"
#include "picture/Bitmap.h"

namespace picturetest {

// Traps unless the picture has a size, a raster that matches it and a
// count; reads every byte of every row.
inline void CheckLoaded(const corvalin::TBitmap& picture, size_t pictures)
{
    const corvalin::TRaster* raster = picture.Raster();
    if (pictures == 0 || raster == nullptr || raster->width <= 0 || raster->height <= 0 ||
        (raster->hasAlpha && raster->bitsPerPixel != 32))
        __builtin_trap();
    volatile unsigned sum = 0;
    const size_t rowBytes = size_t(raster->width) * size_t(raster->bitsPerPixel) / 8;
    for (int y = 0; y < raster->height; ++y)
        for (size_t x = 0; x < rowBytes; ++x)
            sum = sum + raster->Row(y)[x];
}

inline void FuzzRowLoad(int formatIndex, const uint8_t* data, size_t size)
{
    using namespace corvalin;
    const TFormatRow& row = FormatRow(formatIndex);
    if (!IsUsable(row))
        return;
    TBitmap picture;
    TPictureMetadata metadata;
    size_t pictures = 0;
    try {
        pictures = row.Load(picture, {data, size}, metadata);
    } catch (const Exception&) {
        return;
    }
    CheckLoaded(picture, pictures);
}

// The same through the row's reader of sampled rows, which asks for half
// the rows: a reader that asked must give just those, as wide as it said.
inline void FuzzSampledRowLoad(int formatIndex, const uint8_t* data, size_t size)
{
    using namespace corvalin;
    const TFormatRow& row = FormatRow(formatIndex);
    if (!IsUsable(row) || row.LoadRows == nullptr)
        return;
    TBitmap picture;
    TPictureMetadata metadata;
    size_t pictures = 0;
    int32_t askedWidth = 0, askedHeight = 0, askedRows = 0;
    try {
        pictures = row.LoadRows(picture, {data, size}, metadata, [&](int32_t width, int32_t height) {
            askedWidth = width;
            askedHeight = height;
            askedRows = (height + 1) / 2;
            return askedRows;
        });
    } catch (const Exception&) {
        return;
    }
    CheckLoaded(picture, pictures);
    const TRaster& raster = *picture.Raster();
    if (askedRows < askedHeight && (raster.height != askedRows || raster.width != askedWidth))
        __builtin_trap();
}

}  // namespace picturetest

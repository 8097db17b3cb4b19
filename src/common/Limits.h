// Size limits for untrusted pictures, kept in one place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvalin {

// No raster may exceed 2^31 - 1 bytes; larger requests fail before allocation.
inline constexpr int64_t kMaxRasterBytes = 0x7FFFFFFF;

// Side data that a reader keeps beside the pixels of one file (text chunks,
// tags, profiles, metafile objects) is charged against this budget.
inline constexpr int64_t kMaxSideDataBytes = 16 << 20;

// What one file's reader may still keep beside its pixels. Side data that
// does not fit is dropped, not an error: the picture still loads. Once one
// piece has not fit, nothing more is kept, so that a file of many pieces
// costs no more work than a file of one.
class TSideDataBudget {
public:
    explicit TSideDataBudget(size_t limit = size_t(kMaxSideDataBytes)) : left_(limit) {}

    size_t Left() const { return left_; }
    // Charges count bytes; false, and nothing more is kept, when they do not fit.
    bool Charge(size_t count);
    // Nothing more is kept, e.g. after a piece whose size was only found out
    // by failing to unpack it within Left().
    void Exhaust() { left_ = 0; }

private:
    size_t left_;
};

// Bytes of one row of `width` pixels at `bitsPerPixel`, padded to 4 bytes.
// Throws EOutOfResources when the row alone breaks the raster limit.
int64_t PaddedRowBytes(int64_t width, int bitsPerPixel);

// A reader whose file can fill less than 1% of the picture it declares
// (strips, tiles or rows missing, empty or outside the file) refuses it
// before the picture is allocated: such a file did not come with that
// picture, and would only take memory out of proportion to its bytes.
// Pictures up to kSmallPictureBytes cost too little to refuse; their
// missing parts stay zero as before.
inline constexpr uint64_t kSmallPictureBytes = 1 << 20;
bool FillsTooLittle(uint64_t fillableBytes, uint64_t declaredBytes);

// Throws EOutOfResources when a width x height raster at bitsPerPixel would
// exceed the raster limit (or either side is negative); returns its byte size.
int64_t CheckedRasterBytes(int64_t width, int64_t height, int bitsPerPixel);

}  // namespace corvalin

#include "common/Limits.h"

#include "common/Exceptions.h"

namespace corvalin {

int64_t PaddedRowBytes(int64_t width, int bitsPerPixel)
{
    if (width < 0 || bitsPerPixel <= 0 || width > kMaxRasterBytes)
        throw EOutOfResources(msg::OutOfResources);
    const int64_t bytes = (width * bitsPerPixel + 31) / 32 * 4;
    if (bytes > kMaxRasterBytes)
        throw EOutOfResources(msg::OutOfResources);
    return bytes;
}

int64_t CheckedRasterBytes(int64_t width, int64_t height, int bitsPerPixel)
{
    const int64_t rowBytes = PaddedRowBytes(width, bitsPerPixel);
    if (height < 0 || (rowBytes > 0 && height > kMaxRasterBytes / rowBytes))
        throw EOutOfResources(msg::OutOfResources);
    return rowBytes * height;
}

bool FillsTooLittle(uint64_t fillableBytes, uint64_t declaredBytes)
{
    return declaredBytes > kSmallPictureBytes && fillableBytes < declaredBytes / 100;
}

bool TSideDataBudget::Charge(size_t count)
{
    if (count > left_) {
        left_ = 0;
        return false;
    }
    left_ -= count;
    return true;
}

}  // namespace corvalin

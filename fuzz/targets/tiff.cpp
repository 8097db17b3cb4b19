// Feeds arbitrary bytes to the TIFF load path. Whatever loads must have the
// declared size and a raster the bitmap layer can read back pixel by pixel;
// a small one is written again with the file's metadata, which is read back.
#include <cstddef>
#include <cstdint>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/Stream.h"
#include "formats/tiff/TiffMetadata.h"
#include "formats/tiff/TiffReader.h"
#include "formats/tiff/TiffWriter.h"
#include "picture/Bitmap.h"

namespace {

using namespace corvalin;

// Pictures far larger than the input could describe only spend the
// fuzzer's time on filling memory: the declared width x height of the first
// directory, if it can be found, must stay under a budget.
bool PictureTooLarge(const uint8_t* data, size_t size)
{
    if (size < 8)
        return false;
    const TByteOrder order = data[0] == 'M' ? TByteOrder::BigEndian : TByteOrder::LittleEndian;
    const uint32_t ifd = Get32(data + 4, order);
    if (ifd > size || size - ifd < 2)
        return false;
    const uint32_t count = Get16(data + ifd, order);
    // The reader takes the first of several entries with one tag; so does this.
    uint64_t sides[4] = {0, 0, 0, 0};  // width, height, tile width, tile length
    const uint16_t tags[4] = {256, 257, 322, 323};
    for (uint32_t i = 0; i < count && ifd + 2 + 12 * (i + 1) <= size; ++i) {
        const uint8_t* e = data + ifd + 2 + 12 * i;
        const uint16_t tag = Get16(e, order), type = Get16(e + 2, order);
        const uint32_t value = type == 3 ? Get16(e + 8, order) : Get32(e + 8, order);
        for (int k = 0; k < 4; ++k)
            if (tag == tags[k] && sides[k] == 0)
                sides[k] = value;
    }
    constexpr uint64_t kBudget = 1u << 22;
    return sides[0] * sides[1] > kBudget || sides[2] * sides[3] > kBudget;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (PictureTooLarge(data, size))
        return 0;
    // The side data is read whether or not the picture can be decoded.
    const TPictureMetadata metadata = ReadTiffMetadata({data, size});
    TBitmap picture;
    try {
        LoadTiffFile(picture, {data, size});
    } catch (const Exception&) {
        return 0;
    }
    if (picture.Empty())
        return 0;
    volatile TColor sum = 0;
    for (int y = 0; y < picture.Height(); y += 7)
        for (int x = 0; x < picture.Width(); x += 7)
            sum = sum + ReadRasterPixel(*picture.Raster(), x, y);
    if (int64_t(picture.Width()) * picture.Height() <= (1 << 16)) {
        TMemoryStream out;
        WriteTiffToStream(out, picture, metadata);
        ReadTiffMetadata(out.Bytes());
    }
    return 0;
}

// Feeds arbitrary bytes to the Photoshop reader, then writes the picture as
// BMP data and converts it, so that whatever the reader made is a
// consistent raster.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "common/Exceptions.h"
#include "common/Stream.h"
#include "formats/psd/PsdGraphic.h"
#include "picture/Bitmap.h"

namespace {

// A short file may declare a picture of 2^31 rows; raw data must be in the
// file, but PackBits rows expand up to 64 times and a zero-width picture
// needs no data at all. Pictures the input could not fill are skipped once
// they pass 4 M pixels, so the fuzzer spends its time on decoding.
bool DeclaresUnfillablePicture(const uint8_t* data, size_t size)
{
    if (size < 26)
        return false;
    auto be32 = [&](size_t at) {
        return uint64_t(data[at]) << 24 | uint64_t(data[at + 1]) << 16 | uint64_t(data[at + 2]) << 8 | data[at + 3];
    };
    const uint64_t height = be32(14), width = std::max<uint64_t>(be32(18), 1);
    const uint64_t samples = width * height * 4;
    return samples > (uint64_t(1) << 22) && samples > uint64_t(size) * 64;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace corvalin;
    if (DeclaresUnfillablePicture(data, size))
        return 0;
    TPSDGraphic psd;
    try {
        psd.LoadFromBytes({data, size});
    } catch (const Exception&) {
        return 0;
    }
    TBitmap picture;
    picture.AssignPicture(&psd);
    if (picture.Empty() || picture.Width() == 0 || picture.Height() == 0)
        return 0;
    TMemoryStream output;
    picture.WriteBmpStream(output);
    picture.ChangePixelFormat(TPixelFormat::pf24bit);
    return 0;
}

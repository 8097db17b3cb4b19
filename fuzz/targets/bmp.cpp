// Feeds arbitrary bytes to the BMP reader, then writes the picture back and
// converts it, so that whatever the reader accepted is a consistent raster;
// decoding only the rows a scaling samples must scale to the same pixels.
#include <cstddef>
#include <cstdlib>
#include <cstdint>

#include "common/Exceptions.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"
#include "SampledRows.h"

namespace {

// Pictures whose header declares more than 1 M pixels are legal up to the
// raster limit, but zero-filling them makes each run take a second and, at
// up to 2 GB, breaks the fuzzer's memory limit; so do pictures far larger
// than the input could fill (missing rows read as zeros, which the unit
// tests cover). The limit itself has unit tests, so the fuzzer spends its
// time elsewhere. OS/2 headers hold 16-bit sizes at other offsets.
bool DeclaresHugePicture(const uint8_t* data, size_t size)
{
    if (size < 26)
        return false;
    auto u16 = [&](size_t at) { return int64_t(data[at] | data[at + 1] << 8); };
    auto s32 = [&](size_t at) { return int32_t(data[at] | data[at + 1] << 8 | data[at + 2] << 16 | uint32_t(data[at + 3]) << 24); };
    const bool os2 = s32(14) == 12;
    const int64_t width = os2 ? u16(18) : std::abs(int64_t(s32(18)));
    const int64_t height = os2 ? u16(20) : std::abs(int64_t(s32(22)));
    const int64_t pixels = width * height;
    return pixels > (int64_t(1) << 20) || pixels > 4096 + int64_t(size) * 1024;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace corvalin;
    if (DeclaresHugePicture(data, size))
        return 0;
    TBitmap picture;
    try {
        picture.ReadBmp({data, size});
    } catch (const Exception&) {
        return 0;
    }
    if (picture.Empty() || int64_t(picture.Width()) * picture.Height() > (1 << 20))
        return 0;
    fuzzcheck::CheckSampledRowsAgree(data, size, picture, [&](const TRowRequest& rows, TBitmap& out) {
        out.ReadBmp({data, size}, rows);
    });
    TMemoryStream output;
    picture.WriteBmpStream(output);
    picture.ChangePixelFormat(TPixelFormat::pf24bit);
    return 0;
}

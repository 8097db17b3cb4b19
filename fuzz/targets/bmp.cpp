// Feeds arbitrary bytes to the BMP reader, then writes the picture back and
// converts it, so that whatever the reader accepted is a consistent raster.
#include <cstddef>
#include <cstdint>

#include "common/Exceptions.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace corvalin;
    TBitmap picture;
    try {
        TSpanStream input({data, size});
        picture.ReadBmpStream(input);
    } catch (const Exception&) {
        return 0;
    }
    if (picture.Empty() || int64_t(picture.Width()) * picture.Height() > (1 << 22))
        return 0;
    TMemoryStream output;
    picture.WriteBmpStream(output);
    picture.ChangePixelFormat(TPixelFormat::pf24bit);
    return 0;
}

// Feeds arbitrary bytes to the Photo CD reader, then writes the picture as
// BMP data. The base picture has a fixed size, so every input is decoded.
#include <cstddef>
#include <cstdint>

#include "common/Exceptions.h"
#include "common/Stream.h"
#include "formats/pcd/PcdGraphic.h"
#include "picture/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace corvalin;
    TPCDGraphic pcd;
    try {
        pcd.LoadFromBytes({data, size});
    } catch (const Exception&) {
        return 0;
    }
    TBitmap picture;
    picture.AssignPicture(&pcd);
    if (picture.Empty())
        return 0;
    if (picture.Width() != pcd.ImageProperties().Width || picture.Height() != pcd.ImageProperties().Height)
        __builtin_trap();
    TMemoryStream output;
    picture.WriteBmpStream(output);
    return 0;
}

// Feeds arbitrary bytes to the PCX reader, then writes the picture as BMP
// data and converts it, so that whatever the reader made is a consistent
// raster with a palette its pixels can use.
#include <cstddef>
#include <cstdint>

#include "common/Exceptions.h"
#include "common/Stream.h"
#include "formats/pcx/PcxGraphic.h"
#include "picture/Bitmap.h"

namespace {

// Short files may declare pictures up to 65536 x 65536; decoding them only
// fills memory with zeros, which the unit tests cover. Pictures whose
// decoded bytes the input could not fill even with the longest runs
// (63 bytes from two) are skipped once they pass 4 MB.
bool DeclaresUnfillablePicture(const uint8_t* data, size_t size)
{
    if (size < 128)
        return false;
    auto word = [&](size_t at) { return uint64_t(data[at] | data[at + 1] << 8); };
    const uint64_t width = word(8) >= word(4) ? word(8) - word(4) + 1 : 0;
    const uint64_t height = word(10) >= word(6) ? word(10) - word(6) + 1 : 0;
    const uint64_t line = std::max<uint64_t>(uint64_t(data[65]) * word(66), width * 3);
    const uint64_t bytes = line * height;
    return bytes > (uint64_t(1) << 22) && bytes > uint64_t(size) * 32;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace corvalin;
    if (DeclaresUnfillablePicture(data, size))
        return 0;
    TPCXGraphic pcx;
    try {
        pcx.LoadFromBytes({data, size});
    } catch (const Exception&) {
        return 0;
    }
    TBitmap picture;
    picture.AssignPicture(&pcx);
    if (picture.Empty() || picture.Width() != pcx.ImageProperties().Width)
        return 0;
    TMemoryStream output;
    picture.WriteBmpStream(output);
    picture.ChangePixelFormat(TPixelFormat::pf24bit);
    return 0;
}

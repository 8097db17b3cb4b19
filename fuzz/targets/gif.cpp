// Feeds arbitrary bytes to the GIF reader and renders the first image. A
// rendered 8-bit picture is written as GIF and read back, which must give the
// same indices and palette.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "formats/gif/GifImage.h"
#include "common/Exceptions.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"

namespace {

// The logical screen bounds everything the reader keeps; very large screens
// only spend the fuzzer's time on filling memory. An empty screen grows to
// the first image, whose size the harness cannot see before reading, so
// those files are left to the unit tests as well. Screens far beyond what
// the input could fill (one 12-bit code stands for at most 4096 pixels)
// are skipped too.
bool ScreenTooLarge(const uint8_t* data, size_t size)
{
    const bool prefixed = size < 3 || std::toupper(data[0]) != 'G';
    const size_t at = prefixed ? 10 : 6;
    if (size < at + 4)
        return false;
    const uint32_t width = data[at] | data[at + 1] << 8;
    const uint32_t height = data[at + 2] | data[at + 3] << 8;
    const uint64_t pixels = uint64_t(width) * height;
    return width == 0 || height == 0 || pixels > (1u << 18) || pixels > 4096 + uint64_t(size) * 2731;
}

bool SameIndices(const corvalin::TBitmap& a, const corvalin::TBitmap& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.Palette() != b.Palette())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(a.Width())) != 0)
            return false;
    return true;
}

// A picture with transparency, written and read again, is transparent
// exactly where it was.
bool TransparencyRoundTrips(const std::shared_ptr<corvalin::TRaster>& raster)
{
    using namespace corvalin;
    TBitmap picture;
    picture.AdoptRaster(raster);
    TMemoryStream written;
    TGIFImage out;
    out.ImportBitmap(picture);
    out.SaveToStream(written);
    TGIFImage again;
    again.LoadFromBytes(written.Bytes());
    const std::shared_ptr<TRaster> reread = again.RenderWithAlpha();
    if (reread == nullptr || reread->width != raster->width || reread->height != raster->height)
        return false;
    for (int y = 0; y < raster->height; ++y)
        for (int x = 0; x < raster->width; ++x)
            if (reread->Row(y)[4 * x + 3] != raster->Row(y)[4 * x + 3])
                return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace corvalin;
    if (ScreenTooLarge(data, size))
        return 0;
    TBitmap picture;
    std::shared_ptr<TRaster> withAlpha;
    try {
        TGIFImage gif;
        gif.LoadFromBytes({data, size});
        picture.AssignPicture(&gif);
        withAlpha = gif.RenderWithAlpha();
    } catch (const Exception&) {
        return 0;
    }
    if (withAlpha != nullptr && !TransparencyRoundTrips(withAlpha))
        __builtin_trap();
    if (picture.Empty() || picture.PixelFormat() != TPixelFormat::pf8bit)
        return 0;

    TMemoryStream written;
    TGIFImage out;
    out.ImportBitmap(picture);
    out.SaveToStream(written);
    TGIFImage again;
    again.LoadFromBytes(written.Bytes());
    TBitmap reread;
    reread.AssignPicture(&again);
    if (!SameIndices(picture, reread))
        __builtin_trap();
    return 0;
}

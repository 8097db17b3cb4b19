// Feeds arbitrary bytes to the PNG reader and hands the picture to a bitmap.
// A picture that loads is written twice and read back, which must give the
// same pixels: once as the chunks it was read with, once built from the bitmap.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "formats/png/PngImage.h"
#include "common/Exceptions.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"

namespace {

using namespace corvalin;

// Large declared pictures only spend the fuzzer's time on filling memory,
// as do pictures far beyond what the input could fill: deflate expands at
// most about 1032-fold, and a 1-bit picture packs 8 pixels in a byte.
bool PictureTooLarge(const uint8_t* data, size_t size)
{
    if (size < 24)
        return false;
    const uint64_t width = uint64_t(data[16]) << 24 | data[17] << 16 | data[18] << 8 | data[19];
    const uint64_t height = uint64_t(data[20]) << 24 | data[21] << 16 | data[22] << 8 | data[23];
    const uint64_t pixels = width * height;
    return pixels > (1u << 22) || pixels > 4096 + uint64_t(size) * 8 * 1032;
}

bool SamePixels(const TBitmap& a, const TBitmap& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.Palette() != b.Palette())
        return false;
    const TRaster& ra = *a.Raster();
    const TRaster& rb = *b.Raster();
    if (ra.bitsPerPixel != rb.bitsPerPixel)
        return false;
    const size_t bits = size_t(ra.width) * ra.bitsPerPixel;
    for (int y = 0; y < ra.height; ++y) {
        if (std::memcmp(ra.Row(y), rb.Row(y), bits / 8) != 0)
            return false;
        if (bits % 8 != 0) {
            const uint8_t mask = uint8_t(0xFF00 >> (bits % 8));
            if ((ra.Row(y)[bits / 8] & mask) != (rb.Row(y)[bits / 8] & mask))
                return false;
        }
    }
    return true;
}

void Reread(const TMemoryStream& written, TBitmap& into)
{
    TPNGImage png;
    png.LoadFromBytes(written.Bytes());
    into.AssignPicture(&png);
}

bool IsIdentity(const TGammaTable& table)
{
    for (int i = 0; i < 256; ++i)
        if (table[i] != i)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (PictureTooLarge(data, size))
        return 0;
    TPNGImage loaded;
    TBitmap picture;
    try {
        loaded.LoadFromBytes({data, size});
        picture.AssignPicture(&loaded);
    } catch (const Exception&) {
        return 0;
    }

    // With its alpha, built as colour type 4 or 6: lossless as well.
    if (const std::shared_ptr<TRaster> alpha = loaded.PictureWithAlpha()) {
        TBitmap withAlpha;
        withAlpha.AdoptRaster(alpha);
        TPNGImage keeping;
        keeping.Assign(withAlpha);
        TMemoryStream kept;
        keeping.SaveToStream(kept);
        TPNGImage back;
        back.LoadFromBytes(kept.Bytes());
        const std::shared_ptr<TRaster> alphaBack = back.PictureWithAlpha();
        if (alphaBack == nullptr || alphaBack->pixels != alpha->pixels)
            __builtin_trap();
    }

    // Built from the bitmap: always lossless.
    TPNGImage built;
    built.Assign(picture);
    TMemoryStream written;
    built.SaveToStream(written);
    TBitmap reread;
    Reread(written, reread);
    if (!SamePixels(picture, reread) || reread.Transparent != picture.Transparent)
        __builtin_trap();

    // The loaded chunks written again; gamma correction makes that lossy.
    if (!IsIdentity(loaded.GammaTable))
        return 0;
    TMemoryStream rewritten;
    loaded.SaveToStream(rewritten);
    TBitmap again;
    try {
        Reread(rewritten, again);
    } catch (const Exception&) {
        // Chunks kept as they were (such as a tRNS longer than the palette)
        // may stop the copy from loading; that is not a decoding fault.
        return 0;
    }
    if (!SamePixels(picture, again))
        __builtin_trap();
    return 0;
}

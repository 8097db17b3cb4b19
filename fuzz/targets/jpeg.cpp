// Feeds arbitrary bytes through the JPEG load path: header, side data, full
// decode, a decode of only the rows a scaling samples (which must scale to
// the same pixels as the full one), and for small pictures a decode through
// a CMYK profile the file carries and a fresh encode of what was decoded that
// carries the side data, read back again.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "common/Exceptions.h"
#include "common/Stream.h"
#include "formats/jpeg/JpegImage.h"
#include "formats/jpeg/JpegMetadata.h"
#include "SampledRows.h"

namespace {

// Large declared pictures are legal but only cost time and memory here, as
// do pictures far larger than their data could fill: a whole 8 x 8 block
// needs a few bits at the least, so 1024 pixels a byte is already generous
// (truncated data decodes as grey, which the unit tests cover).
constexpr int64_t kMaxFuzzPixels = 4 << 20;
constexpr int64_t kMaxReencodePixels = 1 << 16;
constexpr int64_t kPixelsPerInputByte = 1024;
constexpr int64_t kAlwaysFillable = 64 * 64;

bool DeclaresTooMuch(int64_t pixels, size_t size)
{
    return pixels > kMaxFuzzPixels || pixels > kAlwaysFillable + int64_t(size) * kPixelsPerInputByte;
}

// A colour profile that was written must come back whole.
void CheckProfileSurvives(const corvalin::TPictureMetadata& written, const std::vector<uint8_t>& file)
{
    using namespace corvalin;
    const TPictureMetadata read = ReadJpegMetadata(file);
    if (IsRgbIccProfile(written.iccProfile) && read.iccProfile != written.iccProfile)
        __builtin_trap();
}

// A decode reduced by the factor the last byte allows must not fail where
// the whole decode did not, and each side is the whole one's rounded up.
void CheckReducedDecode(std::span<const uint8_t> file, const corvalin::TBitmap& whole)
{
    using namespace corvalin;
    const int32_t allowed = file.back() % 10;
    std::shared_ptr<TRaster> reduced;
    try {
        reduced = DecodeJpegReduced(file, {[allowed](int32_t, int32_t) { return allowed; }});
    } catch (const Exception&) {
        __builtin_trap();
    }
    const int factor = allowed >= 8 ? 8 : allowed >= 4 ? 4 : allowed >= 2 ? 2 : 1;
    if (reduced->width != (whole.Width() + factor - 1) / factor ||
        reduced->height != (whole.Height() + factor - 1) / factor)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace corvalin;
    // The side data is read whether or not the picture can be decoded.
    const TPictureMetadata side = ReadJpegMetadata({data, size});
    JpegMarkersFor(side, 1, 1);
    try {
        TJPEGImage image;
        image.LoadFromBytes(std::vector<uint8_t>(data, data + size));
        const int64_t pixels = int64_t(image.Width()) * image.Height();
        if (DeclaresTooMuch(pixels, size))
            return 0;
        TBitmap picture;
        picture.AssignPicture(&image);
        fuzzcheck::CheckSampledRowsAgree(data, size, picture, [&](const TRowRequest& rows, TBitmap& out) {
            out.AdoptRaster(DecodeJpeg({data, size}, rows));
        });
        CheckReducedDecode({data, size}, picture);
        if (pixels > kMaxReencodePixels)
            return 0;
        // Through the file's own profile, where it carries a CMYK one: the same size.
        TBitmap throughProfile;
        TPictureMetadata converted;
        LoadJpegCmykToSrgb(throughProfile, {data, size}, converted);
        if (throughProfile.Width() != picture.Width() || throughProfile.Height() != picture.Height())
            __builtin_trap();
        TJPEGImage copy;
        copy.Assign(picture);
        copy.SetMetadata(image.Metadata());
        TMemoryStream out;
        copy.SaveToStream(out);
        CheckProfileSurvives(image.Metadata(), out.Bytes());
    } catch (const Exception&) {
        // Rejecting bad data is the expected outcome.
    }
    return 0;
}

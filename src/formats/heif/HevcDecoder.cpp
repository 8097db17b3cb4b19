#include "formats/heif/HevcDecoder.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#ifdef CORVALIN_WITH_DE265
#include <libde265/de265.h>
#include <libheif/heif_plugin.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <thread>
#include <vector>

#include "common/ByteCursor.h"
#endif

namespace corvalin {

#ifdef CORVALIN_WITH_DE265
namespace {

// libheif keeps the message pointers: only string literals and libde265's
// own static texts are handed over.
heif_error Success()
{
    return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

heif_error Failure(const char* message)
{
    return {heif_error_Decoder_plugin_error, heif_suberror_Unspecified, message};
}

// One picture's coded data as libheif hands it over: NAL units, each after
// its length in four bytes, most significant first, the parameter sets first.
struct THevcStream {
    std::vector<uint8_t> bytes;
};

struct TDe265Deleter {
    void operator()(de265_decoder_context* context) const { de265_free_decoder(context); }
};
using TDe265Context = std::unique_ptr<de265_decoder_context, TDe265Deleter>;

struct THeifImageDeleter {
    void operator()(heif_image* image) const { heif_image_release(image); }
};

// The lengths come from the file: each must leave room for its unit's
// two-byte header and stay within the data (a cut length throws, which
// DecodeImage turns into a failure).
heif_error PushUnits(de265_decoder_context* context, std::span<const uint8_t> stream)
{
    TByteCursor units(stream);
    while (units.Remaining() > 0) {
        const uint32_t length = units.U32BE();
        if (length < 2 || length > units.Remaining() || length > uint32_t(INT_MAX))
            return Failure("NAL unit length outside the data");
        const std::span<const uint8_t> unit = units.Bytes(length);
        const de265_error error = de265_push_NAL(context, unit.data(), int(length), 0, nullptr);
        if (!de265_isOK(error))
            return Failure(de265_get_error_text(error));
    }
    return Success();
}

struct TPlaneLayout {
    heif_colorspace colorspace;
    heif_chroma chroma;
    int channels;
};

bool LayoutOf(de265_chroma chroma, TPlaneLayout& layout)
{
    static constexpr struct {
        de265_chroma chroma;
        TPlaneLayout layout;
    } layouts[] = {
        {de265_chroma_mono, {heif_colorspace_monochrome, heif_chroma_monochrome, 1}},
        {de265_chroma_420, {heif_colorspace_YCbCr, heif_chroma_420, 3}},
        {de265_chroma_422, {heif_colorspace_YCbCr, heif_chroma_422, 3}},
        {de265_chroma_444, {heif_colorspace_YCbCr, heif_chroma_444, 3}},
    };
    for (const auto& entry : layouts) {
        if (entry.chroma == chroma) {
            layout = entry.layout;
            return true;
        }
    }
    return false;
}

heif_error CopyPlane(const de265_image* picture, int index, heif_image* image)
{
    static constexpr heif_channel channels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    const int width = de265_get_image_width(picture, index);
    const int height = de265_get_image_height(picture, index);
    const int bits = de265_get_bits_per_pixel(picture, index);
    if (width <= 0 || height <= 0 || bits < 1 || bits > 16)
        return Failure("unsupported picture plane");
    const heif_error added = heif_image_add_plane(image, channels[index], width, height, bits);
    if (added.code != heif_error_Ok)
        return added;
    int fromStride = 0, toStride = 0;
    const uint8_t* from = de265_get_image_plane(picture, index, &fromStride);
    uint8_t* to = heif_image_get_plane(image, channels[index], &toStride);
    // Samples above 8 bits take two bytes, in the machine's order, in both.
    const size_t rowBytes = size_t(width) * (bits > 8 ? 2 : 1);
    if (from == nullptr || to == nullptr || fromStride < 0 || size_t(fromStride) < rowBytes || toStride < 0 ||
        size_t(toStride) < rowBytes)
        return Failure("unsupported picture plane");
    for (int y = 0; y < height; ++y)
        std::memcpy(to + size_t(y) * size_t(toStride), from + size_t(y) * size_t(fromStride), rowBytes);
    return Success();
}

// The colour description the coded picture carries, as libheif's own
// decoder attaches it: libheif's conversion to RGB follows it (its rounding
// of pictures above 8 bits differs without it).
void AttachColourDescription(const de265_image* picture, heif_image* image)
{
    const std::unique_ptr<heif_color_profile_nclx, void (*)(heif_color_profile_nclx*)> nclx(
        heif_nclx_color_profile_alloc(), heif_nclx_color_profile_free);
    if (!nclx)
        return;
    heif_nclx_color_profile_set_color_primaries(nclx.get(), uint16_t(de265_get_image_colour_primaries(picture)));
    heif_nclx_color_profile_set_transfer_characteristics(nclx.get(),
                                                         uint16_t(de265_get_image_transfer_characteristics(picture)));
    heif_nclx_color_profile_set_matrix_coefficients(nclx.get(), uint16_t(de265_get_image_matrix_coefficients(picture)));
    nclx->full_range_flag = de265_get_image_full_range_flag(picture) != 0 ? 1 : 0;
    heif_image_set_nclx_color_profile(image, nclx.get());
}

heif_error ImageOf(const de265_image* picture, heif_image** out)
{
    TPlaneLayout layout{};
    if (!LayoutOf(de265_get_chroma_format(picture), layout))
        return Failure("unsupported chroma format");
    heif_image* created = nullptr;
    const heif_error error = heif_image_create(de265_get_image_width(picture, 0), de265_get_image_height(picture, 0),
                                               layout.colorspace, layout.chroma, &created);
    if (error.code != heif_error_Ok)
        return error;
    std::unique_ptr<heif_image, THeifImageDeleter> image(created);
    for (int index = 0; index < layout.channels; ++index) {
        const heif_error copied = CopyPlane(picture, index, image.get());
        if (copied.code != heif_error_Ok)
            return copied;
    }
    AttachColourDescription(picture, image.get());
    *out = image.release();
    return Success();
}

int DecodingThreads()
{
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

heif_error DecodeStream(const THevcStream& stream, heif_image** out)
{
    TDe265Context context(de265_new_decoder());
    if (!context)
        return Failure("cannot start the HEVC decoder");
    // Without worker threads libde265 decodes in this thread.
    de265_start_worker_threads(context.get(), DecodingThreads());
    const heif_error pushed = PushUnits(context.get(), stream.bytes);
    if (pushed.code != heif_error_Ok)
        return pushed;
    de265_error error = de265_flush_data(context.get());
    // With worker threads libde265 keeps asking to be called while a
    // decoded picture waits in its output queue: the first picture ends it.
    int more = 1;
    while (more != 0 && de265_isOK(error) && de265_peek_next_picture(context.get()) == nullptr)
        error = de265_decode(context.get(), &more);
    // All data is pushed: waiting for more or a full output queue ends
    // decoding as well.
    if (!de265_isOK(error) && error != DE265_ERROR_WAITING_FOR_INPUT_DATA && error != DE265_ERROR_IMAGE_BUFFER_FULL)
        return Failure(de265_get_error_text(error));
    const de265_image* picture = de265_get_next_picture(context.get());
    if (picture == nullptr)
        return Failure("no decoded picture");
    return ImageOf(picture, out);
}

const char* PluginName()
{
    return "libde265 on all cores";
}

int SupportedPriority(heif_compression_format format)
{
    // Above the priority of libheif's own decoders.
    return format == heif_compression_HEVC ? 200 : 0;
}

heif_error NewStream(void** decoder)
{
    *decoder = new (std::nothrow) THevcStream;
    return *decoder != nullptr ? Success() : Failure("out of memory");
}

void FreeStream(void* decoder)
{
    delete static_cast<THevcStream*>(decoder);
}

heif_error PushData(void* decoder, const void* data, size_t size)
{
    auto& bytes = static_cast<THevcStream*>(decoder)->bytes;
    const auto* begin = static_cast<const uint8_t*>(data);
    // No exception may cross libheif.
    try {
        bytes.insert(bytes.end(), begin, begin + size);
    } catch (const std::exception&) {
        return Failure("out of memory");
    }
    return Success();
}

heif_error DecodeImage(void* decoder, heif_image** out)
{
    try {
        return DecodeStream(*static_cast<const THevcStream*>(decoder), out);
    } catch (const std::exception&) {
        return Failure("HEVC decoding failed");
    }
}

// Damaged pictures are decoded as far as they go, whether or not asked to be strict.
void SetStrictDecoding(void*, int) {}

const heif_decoder_plugin plugin = {
    3, PluginName, nullptr, nullptr, SupportedPriority, NewStream, FreeStream, PushData, DecodeImage,
    SetStrictDecoding, "corvalin-libde265",
};

}  // namespace
#endif

std::unique_lock<std::mutex> HoldHevcDecoding()
{
#ifdef CORVALIN_WITH_DE265
    static std::mutex gate;
    return std::unique_lock<std::mutex>(gate);
#else
    return {};
#endif
}

void ReturnFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

void UseParallelHevcDecoder()
{
#ifdef CORVALIN_WITH_DE265
    static std::once_flag once;
    std::call_once(once, [] { heif_register_decoder_plugin(&plugin); });
#endif
}

}  // namespace corvalin

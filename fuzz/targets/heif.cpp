// Feeds arbitrary bytes to the HEIC and AVIF rows' reader, whole and for
// sampled rows (see RowFuzzing.h).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "RowFuzzing.h"
#ifdef CORVALIN_WITH_HEIF
#include <libheif/heif.h>
#endif

#ifdef CORVALIN_WITH_HEIF
namespace {

// Large pictures only spend the fuzzer's time on filling memory; the
// container's boxes tell their size without decoding.
bool PictureTooLarge(const uint8_t* data, size_t size)
{
    std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
    if (heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code != heif_error_Ok)
        return false;
    heif_image_handle* handle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &handle).code != heif_error_Ok)
        return false;
    const uint64_t pixels =
        uint64_t(heif_image_handle_get_width(handle)) * uint64_t(heif_image_handle_get_height(handle));
    heif_image_handle_release(handle);
    return pixels > (1u << 22);
}

}  // namespace
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
#ifdef CORVALIN_WITH_HEIF
    if (!PictureTooLarge(data, size)) {
        picturetest::FuzzRowLoad(corvalin::fiHeic, data, size);
        picturetest::FuzzSampledRowLoad(corvalin::fiHeic, data, size);
    }
#else
    (void)data;
    (void)size;
#endif
    return 0;
}

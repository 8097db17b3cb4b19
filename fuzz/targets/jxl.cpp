// Feeds arbitrary bytes to the JPEG XL row's reader (see RowFuzzing.h).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "RowFuzzing.h"
#ifdef CORVALIN_WITH_JXL
#include <jxl/decode.h>
#endif

#ifdef CORVALIN_WITH_JXL
namespace {

// Large pictures only spend the fuzzer's time on filling memory; the basic
// information tells their size without decoding.
bool PictureTooLarge(const uint8_t* data, size_t size)
{
    std::unique_ptr<JxlDecoder, void (*)(JxlDecoder*)> decoder(JxlDecoderCreate(nullptr), JxlDecoderDestroy);
    if (JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), data, size) != JXL_DEC_SUCCESS)
        return false;
    JxlDecoderCloseInput(decoder.get());
    JxlBasicInfo info;
    if (JxlDecoderProcessInput(decoder.get()) != JXL_DEC_BASIC_INFO ||
        JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS)
        return false;
    return uint64_t(info.xsize) * uint64_t(info.ysize) > (1u << 22);
}

}  // namespace
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
#ifdef CORVALIN_WITH_JXL
    if (!PictureTooLarge(data, size))
        picturetest::FuzzRowLoad(corvalin::fiJxl, data, size);
#else
    (void)data;
    (void)size;
#endif
    return 0;
}

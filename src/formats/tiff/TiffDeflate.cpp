#include "formats/tiff/TiffDeflate.h"

#include <climits>

namespace corvalin {

namespace {

[[noreturn]] void ThrowDeflateError()
{
    throw EGraphicCompression("LZ77 decompression error.");
}

}  // namespace

TLZ77Decoder::~TLZ77Decoder()
{
    if (open_)
        inflateEnd(&stream_);
}

void TLZ77Decoder::DecodeInit()
{
    if (open_)
        return;
    stream_ = z_stream{};
    if (inflateInit(&stream_) != Z_OK)
        ThrowDeflateError();
    open_ = true;
}

void TLZ77Decoder::DecodeEnd()
{
    if (!open_)
        return;
    open_ = false;
    if (inflateEnd(&stream_) != Z_OK)
        ThrowDeflateError();
}

size_t TLZ77Decoder::DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked)
{
    DecodeInit();
    if (inflateReset(&stream_) != Z_OK)
        ThrowDeflateError();
    // zlib counts in unsigned int; a strip beyond that is cut, never wrapped.
    stream_.next_in = const_cast<Bytef*>(packed.data());
    stream_.avail_in = uInt(std::min<size_t>(packed.size(), UINT_MAX));
    stream_.next_out = unpacked.data();
    stream_.avail_out = uInt(std::min<size_t>(unpacked.size(), UINT_MAX));
    inflate(&stream_, Z_FINISH);
    return size_t(stream_.next_out - unpacked.data());
}

}  // namespace corvalin

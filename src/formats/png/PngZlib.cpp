#include "formats/png/PngZlib.h"

#include <algorithm>
#include <climits>

#include "formats/png/PngErrors.h"
#include "common/Exceptions.h"

namespace corvalin {

namespace {

// zlib counts in 32-bit units; larger requests are split by the callers.
constexpr size_t kMaxStep = UINT_MAX;

void ThrowForInit(int code)
{
    if (code == Z_MEM_ERROR)
        throw EOutOfResources(msg::OutOfResources);
    throw EPNGZLIBError(code);
}

}  // namespace

TInflater::TInflater()
{
    const int code = inflateInit(&stream_);
    if (code != Z_OK)
        ThrowForInit(code);
}

TInflater::~TInflater()
{
    inflateEnd(&stream_);
}

void TInflater::SetInput(const uint8_t* data, size_t count)
{
    stream_.next_in = const_cast<Bytef*>(data);
    stream_.avail_in = uInt(std::min(count, kMaxStep));
}

int TInflater::Inflate(uint8_t* out, size_t count, size_t& produced)
{
    stream_.next_out = out;
    stream_.avail_out = uInt(std::min(count, kMaxStep));
    const uInt before = stream_.avail_out;
    const int code = inflate(&stream_, Z_NO_FLUSH);
    produced += before - stream_.avail_out;
    return code;
}

TDeflater::TDeflater(int level, size_t pieceSize, Sink sink)
    : piece_(pieceSize), sink_(std::move(sink))
{
    const int code = deflateInit(&stream_, level);
    if (code != Z_OK)
        ThrowForInit(code);
    stream_.next_out = piece_.data();
    stream_.avail_out = uInt(piece_.size());
}

TDeflater::~TDeflater()
{
    deflateEnd(&stream_);
}

void TDeflater::Write(const uint8_t* data, size_t count)
{
    stream_.next_in = const_cast<Bytef*>(data);
    stream_.avail_in = uInt(count);
    Run(Z_NO_FLUSH);
}

void TDeflater::Finish()
{
    stream_.next_in = nullptr;
    stream_.avail_in = 0;
    Run(Z_FINISH);
    const size_t used = piece_.size() - stream_.avail_out;
    if (used != 0)
        sink_({piece_.data(), used});
    stream_.next_out = piece_.data();
    stream_.avail_out = uInt(piece_.size());
}

// Deflates until the input is consumed (or, finishing, the stream ends),
// handing over every piece that fills up.
void TDeflater::Run(int flush)
{
    for (;;) {
        const int code = deflate(&stream_, flush);
        if (code == Z_STREAM_ERROR)
            throw EPNGZLIBError(code);
        if (stream_.avail_out == 0) {
            sink_({piece_.data(), piece_.size()});
            stream_.next_out = piece_.data();
            stream_.avail_out = uInt(piece_.size());
            continue;
        }
        if (flush == Z_FINISH ? code == Z_STREAM_END : stream_.avail_in == 0)
            return;
    }
}

std::optional<std::vector<uint8_t>> InflateBounded(std::span<const uint8_t> data, size_t maxBytes)
{
    TInflater inflater;
    inflater.SetInput(data.data(), data.size());
    std::vector<uint8_t> out;
    uint8_t chunk[16384];
    for (;;) {
        size_t produced = 0;
        const int code = inflater.Inflate(chunk, sizeof chunk, produced);
        if (out.size() + produced > maxBytes)
            return std::nullopt;
        out.insert(out.end(), chunk, chunk + produced);
        if (code == Z_STREAM_END)
            return out;
        // Without progress the data is incomplete; any other code is damage.
        if (code != Z_OK || (produced == 0 && inflater.AvailableInput() == 0))
            return std::nullopt;
    }
}

std::vector<uint8_t> DeflateWhole(std::span<const uint8_t> data, int level)
{
    std::vector<uint8_t> out;
    TDeflater deflater(level, 16384, [&out](std::span<const uint8_t> piece) {
        out.insert(out.end(), piece.begin(), piece.end());
    });
    deflater.Write(data.data(), data.size());
    deflater.Finish();
    return out;
}

}  // namespace corvalin

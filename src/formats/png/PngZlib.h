// Thin owners of zlib streams for the PNG codec: inflate in caller-sized
// steps, deflate into fixed-size pieces, and whole-buffer helpers for text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include <zlib.h>

namespace corvalin {

class TInflater {
public:
    TInflater();
    ~TInflater();
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;

    // The bytes inflate reads next; they must stay valid until consumed.
    void SetInput(const uint8_t* data, size_t count);
    size_t AvailableInput() const { return stream_.avail_in; }
    // Inflates into out[0..count); returns zlib's code and adds the bytes
    // written to `produced`.
    int Inflate(uint8_t* out, size_t count, size_t& produced);

private:
    z_stream stream_{};
};

class TDeflater {
public:
    using Sink = std::function<void(std::span<const uint8_t>)>;

    // Each full buffer of `pieceSize` bytes goes to sink as it fills.
    TDeflater(int level, size_t pieceSize, Sink sink);
    ~TDeflater();
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;

    void Write(const uint8_t* data, size_t count);
    // Ends the stream and hands over the last, possibly short, piece.
    void Finish();

private:
    void Run(int flush);

    z_stream stream_{};
    std::vector<uint8_t> piece_;
    Sink sink_;
};

// A complete zlib stream inflated, or nothing when the data is damaged,
// incomplete, or would inflate to more than maxBytes.
std::optional<std::vector<uint8_t>> InflateBounded(std::span<const uint8_t> data, size_t maxBytes);
std::vector<uint8_t> DeflateWhole(std::span<const uint8_t> data, int level);

}  // namespace corvalin

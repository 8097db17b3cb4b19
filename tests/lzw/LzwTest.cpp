#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "formats/lzw/LzwDecoder.h"
#include "formats/lzw/LzwEncoder.h"

using namespace corvalin;

namespace {

using Bytes = std::vector<uint8_t>;

// (code, width) pairs packed in the variant's bit order.
Bytes Pack(const std::vector<std::pair<uint32_t, int>>& codes, TLzwBitOrder order)
{
    Bytes out;
    uint64_t bits = 0;
    int count = 0;
    for (auto [code, width] : codes) {
        bits = order == TLzwBitOrder::LeastSignificantFirst ? bits | uint64_t(code) << count : bits << width | code;
        for (count += width; count >= 8; count -= 8) {
            out.push_back(uint8_t(order == TLzwBitOrder::LeastSignificantFirst ? bits : bits >> (count - 8)));
            if (order == TLzwBitOrder::LeastSignificantFirst)
                bits >>= 8;
        }
    }
    if (count > 0)
        out.push_back(uint8_t(order == TLzwBitOrder::LeastSignificantFirst ? bits : bits << (8 - count)));
    return out;
}

// Every byte as a literal, each at the width the variant has reached (every
// code after the first adds an entry until 4096), no clear code on the way.
Bytes LiteralStream(const Bytes& bytes, TLzwVariant v)
{
    const uint32_t clear = 1u << v.minCodeSize;
    uint32_t next = clear + 2;
    int width = v.minCodeSize + 1;
    std::vector<std::pair<uint32_t, int>> codes{{clear, width}};
    for (size_t i = 0; i < bytes.size(); ++i) {
        codes.push_back({bytes[i], width});
        if (i > 0 && next < 4096 && ++next + (v.earlyChange ? 1 : 0) >= (1u << width) && width < 12)
            ++width;
    }
    codes.push_back({clear + 1, width});
    return Pack(codes, v.bitOrder);
}

// Reads the whole stream in pieces of `piece` bytes, so strings are cut between calls.
Bytes Decode(const Bytes& stream, TLzwVariant v, size_t total, size_t piece)
{
    TLzwDecoder decoder(v);
    decoder.Start(stream);
    Bytes out(total);
    size_t at = 0;
    while (at < total) {
        const size_t n = decoder.Read(std::span(out).subspan(at, std::min(piece, total - at)));
        at += n;
        if (n == 0)
            break;
    }
    out.resize(at);
    return out;
}

// Runs of varying length of values below 2^bits: long strings and a full table.
Bytes Sample(int bits, size_t count)
{
    Bytes out;
    uint32_t seed = 7;
    while (out.size() < count) {
        seed = seed * 1103515245u + 12345u;
        out.insert(out.end(), std::min<size_t>((seed >> 8) % 9 + 1, count - out.size()),
                   uint8_t((seed >> 16) & ((1u << bits) - 1)));
    }
    return out;
}

}  // namespace

TEST(Lzw, GifEncoderToDecoderRoundTripsAtEveryCodeSize)
{
    for (int size : {2, 3, 5, 8}) {
        const Bytes pixels = Sample(size, 60000);
        TGifLzwEncoder encoder(size);
        encoder.Encode(pixels.data(), pixels.size());
        encoder.Finish();
        EXPECT_EQ(Decode(encoder.Output(), GifLzw(size), pixels.size(), 37), pixels) << size;
        TLzwDecoder counter(GifLzw(size));
        counter.Start(encoder.Output());
        EXPECT_EQ(counter.Skip(pixels.size() + 1), pixels.size()) << size;
    }
}

TEST(Lzw, LiteralStreamsGrowTheCodeWidthAndGoOnPastAFullTable)
{
    for (const TLzwVariant v : {GifLzw(2), GifLzw(8), kTiffLzw}) {
        const Bytes bytes = Sample(v.minCodeSize, 5000);  // 5000 codes fill the table
        EXPECT_EQ(Decode(LiteralStream(bytes, v), v, bytes.size(), 4999), bytes) << v.minCodeSize;
    }
}

TEST(Lzw, DamagedOrEndingStreamsStopWithTheirReason)
{
    const struct {
        TLzwVariant variant;
        std::vector<std::pair<uint32_t, int>> codes;
        Bytes expected;
        TLzwStop stop;
    } cases[] = {
        {kTiffLzw, {{256, 9}, {97, 9}, {258, 9}, {257, 9}}, {97, 97, 97}, TLzwStop::EndCode},
        {kTiffLzw, {{256, 9}, {65, 9}}, {65}, TLzwStop::DataUsedUp},
        {GifLzw(2), {{4, 3}, {6, 3}}, {}, TLzwStop::SelfReference},
        {GifLzw(2), {{4, 3}, {1, 3}, {7, 3}}, {1}, TLzwStop::UnknownCode},
        {GifLzw(2), {{1, 3}, {2, 3}, {4, 3}, {3, 3}, {6, 3}}, {1, 2, 3, 3, 3}, TLzwStop::DataUsedUp},
    };
    for (const auto& c : cases) {
        const Bytes stream = Pack(c.codes, c.variant.bitOrder);
        TLzwDecoder decoder(c.variant);
        decoder.Start(stream);
        Bytes out(8);
        out.resize(decoder.Read(out));
        EXPECT_EQ(out, c.expected) << c.codes.size();
        EXPECT_EQ(decoder.Stopped(), c.stop) << c.codes.size();
    }
}

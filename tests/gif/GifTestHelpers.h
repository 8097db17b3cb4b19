// Shared helpers of the GIF tests: building small GIF files byte by byte,
// reading pictures back as RGB, and comparing them with other decoders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "formats/gif/GifImage.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"
#include "picture/RowCodec.h"

namespace giftest {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& out, std::initializer_list<int> values)
{
    for (int v : values)
        out.push_back(uint8_t(v));
}

inline void Append16(Bytes& out, int value)
{
    Append(out, {value & 0xFF, (value >> 8) & 0xFF});
}

// "GIF89a", the screen descriptor and, when given, the global map.
inline Bytes Header(int width, int height, const std::vector<uint32_t>& globalRgb = {}, const char* sig = "GIF89a")
{
    Bytes out(sig, sig + 6);
    Append16(out, width);
    Append16(out, height);
    int bits = 0;
    while ((size_t(2) << bits) < globalRgb.size())
        ++bits;
    Append(out, {globalRgb.empty() ? 0 : 0x80 | bits, 0, 0});
    for (size_t i = 0; i < (globalRgb.empty() ? 0 : size_t(2) << bits); ++i) {
        const uint32_t c = i < globalRgb.size() ? globalRgb[i] : 0;
        Append(out, {int(c >> 16), int(c >> 8) & 0xFF, int(c) & 0xFF});
    }
    return out;
}

inline void Descriptor(Bytes& out, int left, int top, int width, int height, int packed = 0)
{
    out.push_back(0x2C);
    Append16(out, left);
    Append16(out, top);
    Append16(out, width);
    Append16(out, height);
    out.push_back(uint8_t(packed));
}

inline void GraphicControl(Bytes& out, int transparentIndex)
{
    Append(out, {0x21, 0xF9, 4, 1, 0, 0, transparentIndex, 0});
}

// Codes packed least significant bit first, each at its own width.
inline Bytes PackCodes(const std::vector<std::pair<int, int>>& codes)
{
    Bytes out;
    uint32_t bits = 0;
    int count = 0;
    for (auto [code, width] : codes) {
        bits |= uint32_t(code) << count;
        count += width;
        while (count >= 8) {
            out.push_back(uint8_t(bits));
            bits >>= 8;
            count -= 8;
        }
    }
    if (count > 0)
        out.push_back(uint8_t(bits));
    return out;
}

// A valid LZW stream that sends every index as a literal, with a clear code
// often enough that the code width never grows.
inline Bytes LiteralLzw(const std::vector<int>& indices, int minCodeSize)
{
    const int clear = 1 << minCodeSize;
    const int width = minCodeSize + 1;
    std::vector<std::pair<int, int>> codes;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % size_t(clear - 2) == 0)
            codes.push_back({clear, width});
        codes.push_back({indices[i], width});
    }
    codes.push_back({clear + 1, width});
    return PackCodes(codes);
}

// Minimum code size, the data in sub-blocks of at most 255 bytes, terminator.
inline void ImageData(Bytes& out, int minCodeSize, const Bytes& code)
{
    out.push_back(uint8_t(minCodeSize));
    for (size_t at = 0; at < code.size(); at += 255) {
        const size_t n = std::min<size_t>(255, code.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), code.begin() + long(at), code.begin() + long(at + n));
    }
    out.push_back(0);
}

// Loads GIF bytes into a picture through the codec object.
inline void LoadGifBytes(const Bytes& bytes, corvalin::TBitmap& picture)
{
    corvalin::TGIFImage gif;
    gif.LoadFromBytes(bytes);
    picture.AssignPicture(&gif);
}

// The message of the exception that loading the bytes raises, "" for none.
inline std::string LoadError(const Bytes& bytes)
{
    corvalin::TBitmap picture;
    try {
        LoadGifBytes(bytes, picture);
    } catch (const corvalin::Exception& e) {
        return e.what();
    }
    return "";
}

inline testsupport::RgbPicture RgbOf(const corvalin::TBitmap& picture)
{
    testsupport::RgbPicture rgb;
    if (picture.Empty())
        return rgb;
    rgb.width = picture.Width();
    rgb.height = picture.Height();
    rgb.rgb.resize(size_t(rgb.width) * rgb.height * 3);
    std::vector<uint8_t> bgr(size_t(rgb.width) * 3);
    for (int y = 0; y < rgb.height; ++y) {
        corvalin::DecodeRowToBgr(*picture.Raster(), y, bgr.data());
        uint8_t* out = &rgb.rgb[size_t(y) * rgb.width * 3];
        for (int x = 0; x < rgb.width; ++x) {
            out[3 * x] = bgr[3 * x + 2];
            out[3 * x + 1] = bgr[3 * x + 1];
            out[3 * x + 2] = bgr[3 * x];
        }
    }
    return rgb;
}

// Same size and every pixel equal; reports the first difference.
inline ::testing::AssertionResult SamePixels(const testsupport::RgbPicture& expected,
                                             const testsupport::RgbPicture& actual)
{
    if (expected.width != actual.width || expected.height != actual.height)
        return ::testing::AssertionFailure() << "size " << actual.width << "x" << actual.height << ", expected "
                                             << expected.width << "x" << expected.height;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x)
            if (expected.At(x, y) != actual.At(x, y))
                return ::testing::AssertionFailure()
                       << "pixel (" << x << "," << y << ") is " << std::hex << actual.At(x, y) << ", expected "
                       << expected.At(x, y);
    return ::testing::AssertionSuccess();
}

}  // namespace giftest

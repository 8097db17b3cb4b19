// Hostile and damaged GIF data: each case gives the codec's error or a
// defined picture.
#include <gtest/gtest.h>

#include "GifTestHelpers.h"

using namespace corvalin;
using namespace giftest;

namespace {

const std::vector<uint32_t> kMap{0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

// A 4x2 image covering the screen with the given code bytes.
Bytes FourByTwo(int minCodeSize, const Bytes& code)
{
    Bytes file = Header(4, 2, kMap);
    Descriptor(file, 0, 0, 4, 2);
    ImageData(file, minCodeSize, code);
    file.push_back(0x3B);
    return file;
}

}  // namespace

TEST(GifBadInput, HeaderErrors)
{
    EXPECT_EQ(LoadError(Bytes{'G', 'I', 'F', '8'}), "Premature end of data");
    EXPECT_EQ(LoadError(Bytes{'P', 'N', 'G', '8', '9', 'a', 'x', 'x', 'x', 'x', 'x', 'x', 'x'}),
              "Invalid GIF signature");
    // Not "GIF" at the start, and too short to hold a signature after 4 bytes.
    EXPECT_EQ(LoadError(Bytes{'x', 'x', 'x', 'x', 'x', 'x', 'x'}), "Premature end of data");
    Bytes screenCut = Header(4, 2, kMap);
    screenCut.resize(9);
    EXPECT_EQ(LoadError(screenCut), "Premature end of data");
    Bytes mapCut = Header(4, 2, kMap);
    mapCut.resize(mapCut.size() - 2);
    EXPECT_EQ(LoadError(mapCut), "Premature end of data");
    Bytes descriptorCut = Header(4, 2, kMap);
    Append(descriptorCut, {0x2C, 0, 0, 0});
    EXPECT_EQ(LoadError(descriptorCut), "Premature end of data");
}

TEST(GifBadInput, ExtensionErrors)
{
    Bytes unknown = Header(4, 2, kMap);
    Append(unknown, {0x21, 0x99, 0});
    EXPECT_EQ(LoadError(unknown), "Unknown extension type");

    Bytes smallApp = Header(4, 2, kMap);
    Append(smallApp, {0x21, 0xFF, 9, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', 0});
    EXPECT_EQ(LoadError(smallApp), "Unsupported Application Extension block size");

    Bytes commentCut = Header(4, 2, kMap);
    Append(commentCut, {0x21, 0xFE, 20, 'a', 'b'});
    EXPECT_EQ(LoadError(commentCut), "Premature end of data");

    // A graphic control extension cut short is dropped without an error.
    Bytes controlCut = Header(4, 2, kMap);
    Append(controlCut, {0x21, 0xF9, 4, 1});
    EXPECT_EQ(LoadError(controlCut), "");
}

// A code equal to the next free one right after a clear code would be an
// entry built from itself.
TEST(GifBadInput, SelfReferencingCodeIsCircular)
{
    EXPECT_EQ(LoadError(FourByTwo(2, PackCodes({{4, 3}, {6, 3}, {5, 3}}))), "Circular decoder table entry");
    EXPECT_EQ(LoadError(FourByTwo(2, PackCodes({{4, 3}, {1, 3}, {4, 3}, {6, 3}}))), "Circular decoder table entry");
    // The same code after a literal is the ordinary "previous string plus its first" case.
    TBitmap picture;
    LoadGifBytes(FourByTwo(2, PackCodes({{4, 3}, {1, 3}, {6, 3}, {5, 3}})), picture);
    const auto rgb = RgbOf(picture);
    EXPECT_EQ(rgb.At(0, 0), 0xFF0000u);
    EXPECT_EQ(rgb.At(1, 0), 0xFF0000u);
    EXPECT_EQ(rgb.At(2, 0), 0xFF0000u);
    EXPECT_EQ(rgb.At(3, 0), 0x000000u);
}

// A code beyond the next free one ends the image; the decoded pixels stay.
TEST(GifBadInput, UndefinedCodeEndsTheImage)
{
    TBitmap picture;
    LoadGifBytes(FourByTwo(2, PackCodes({{4, 3}, {2, 3}, {7, 3}, {1, 3}})), picture);
    const auto rgb = RgbOf(picture);
    EXPECT_EQ(rgb.At(0, 0), 0x00FF00u);
    EXPECT_EQ(rgb.At(1, 0), 0x000000u);
    EXPECT_EQ(rgb.At(3, 1), 0x000000u);
}

TEST(GifBadInput, CodeSizesTheDecoderCannotTakeLeaveTheFill)
{
    for (const int size : {12, 13, 255}) {
        TBitmap picture;
        LoadGifBytes(FourByTwo(size, Bytes(40, 0xA5)), picture);
        ASSERT_EQ(picture.Width(), 4);
        const auto rgb = RgbOf(picture);
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(rgb.At(x, 1), 0u) << size;
    }
    // Size 11 is decodable: clear code 2048 at 12 bits, literals keep their low byte.
    TBitmap picture;
    LoadGifBytes(FourByTwo(11, PackCodes({{2048, 12}, {0x102, 12}, {2049, 12}})), picture);
    EXPECT_EQ(RgbOf(picture).At(0, 0), 0x00FF00u);
}

TEST(GifBadInput, SubBlockLongerThanTheDataIsReadAsFarAsItGoes)
{
    const Bytes code = LiteralLzw({1, 2, 3, 1, 2, 3, 1, 2}, 2);
    Bytes file = Header(4, 2, kMap);
    Descriptor(file, 0, 0, 4, 2);
    Append(file, {2, 250});
    file.insert(file.end(), code.begin(), code.end());
    file.shrink_to_fit();  // no slack behind the data, so that a read past it shows
    TBitmap picture;
    LoadGifBytes(file, picture);
    const auto rgb = RgbOf(picture);
    EXPECT_EQ(rgb.At(0, 0), 0xFF0000u);
    EXPECT_EQ(rgb.At(3, 1), 0x00FF00u);
}

TEST(GifBadInput, ImagesOutsideTheScreenAreCutOff)
{
    const Bytes code = LiteralLzw(std::vector<int>(64, 3), 2);
    // Far outside: a white screen.
    Bytes far = Header(6, 5, kMap);
    Descriptor(far, 60000, 60000, 8, 8);
    ImageData(far, 2, code);
    TBitmap picture;
    LoadGifBytes(far, picture);
    ASSERT_EQ(picture.Width(), 6);
    for (uint32_t c : {RgbOf(picture).At(0, 0), RgbOf(picture).At(5, 4)})
        EXPECT_EQ(c, 0xFFFFFFu);

    // Partly outside and interlaced: the part inside the screen shows.
    Bytes partly = Header(6, 5, kMap);
    Descriptor(partly, 3, 2, 8, 8, 0x40);
    ImageData(partly, 2, code);
    LoadGifBytes(partly, picture);
    const auto rgb = RgbOf(picture);
    EXPECT_EQ(rgb.At(2, 4), 0xFFFFFFu);
    EXPECT_EQ(rgb.At(3, 1), 0xFFFFFFu);
    EXPECT_EQ(rgb.At(3, 2), 0x0000FFu);
    EXPECT_EQ(rgb.At(5, 4), 0x0000FFu);
}

TEST(GifBadInput, ImageSizeZeroTakesTheScreenSize)
{
    Bytes file = Header(3, 2, kMap);
    Descriptor(file, 0, 0, 0, 7);
    ImageData(file, 2, LiteralLzw({1, 2, 3, 3, 2, 1}, 2));
    TBitmap picture;
    LoadGifBytes(file, picture);
    EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf8bit);
    EXPECT_EQ(RgbOf(picture).At(2, 1), 0xFF0000u);
}

TEST(GifBadInput, EmptyScreenGrowsToTheFirstImage)
{
    const Bytes code = LiteralLzw({1, 2, 3, 3, 2, 1}, 2);
    Bytes covering = Header(0, 0, kMap);
    Descriptor(covering, 0, 0, 3, 2);
    ImageData(covering, 2, code);
    TBitmap picture;
    LoadGifBytes(covering, picture);
    ASSERT_EQ(picture.Width(), 3);
    ASSERT_EQ(picture.Height(), 2);
    EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf8bit);
    EXPECT_EQ(RgbOf(picture).At(2, 1), 0xFF0000u);

    Bytes offset = Header(0, 0, kMap);
    Descriptor(offset, 2, 1, 3, 2);
    ImageData(offset, 2, code);
    LoadGifBytes(offset, picture);
    ASSERT_EQ(picture.Width(), 5);
    ASSERT_EQ(picture.Height(), 3);
    EXPECT_EQ(RgbOf(picture).At(0, 0), 0xFFFFFFu);
    EXPECT_EQ(RgbOf(picture).At(4, 2), 0xFF0000u);
}

TEST(GifBadInput, HugeDeclaredSizesFailBeforeAllocation)
{
    Bytes file = Header(65535, 65535, kMap);
    Descriptor(file, 0, 0, 65535, 65535);
    ImageData(file, 2, LiteralLzw({1}, 2));
    EXPECT_EQ(LoadError(file), "Systemressourcen erschöpft.");
}

// Stray bytes end the blocks: the images before them are kept.
TEST(GifBadInput, StrayByteEndsTheBlocksKeepingImages)
{
    Bytes file = Header(4, 2, kMap);
    Descriptor(file, 0, 0, 4, 2);
    ImageData(file, 2, LiteralLzw({3, 3, 3, 3, 3, 3, 3, 3}, 2));
    Append(file, {0, 0, 'Z', 0x21, 0x99});
    TBitmap picture;
    LoadGifBytes(file, picture);
    EXPECT_EQ(RgbOf(picture).At(3, 1), 0x0000FFu);
}

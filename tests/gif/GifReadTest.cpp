// Reading GIF files written by independent encoders (ImageMagick, giflib,
// Pillow) and comparing the pictures with independent decoders.
#include <gtest/gtest.h>

#include <fstream>

#include "GifTestHelpers.h"
#include "formats/BitmapEx.h"

using namespace corvalin;
using namespace giftest;
using testsupport::DecodeWithImageMagick;
using testsupport::DecodeWithPillow;
using testsupport::RgbPicture;
using testsupport::TempDir;

namespace {

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

// A giflib-built file from gifbuild's text description.
void GifBuild(const std::string& description, const std::string& gif)
{
    WriteText(gif + ".txt", description);
    const auto result = testsupport::RunCommand("/usr/bin/gifbuild " + testsupport::Quote(gif + ".txt") + " > " +
                                                testsupport::Quote(gif));
    ASSERT_EQ(result.status, 0);
}

// Four-colour first image with a local map; rows given top to bottom.
const char* kGifBuildLocalMap = R"(screen width 6
screen height 4
screen colors 4
screen background 0
pixel aspect byte 0

image # 1
image left 0
image top 0
%INTERLACE%
image map
	sort flag off
	rgb 255 000 000 is 0
	rgb 000 255 000 is 1
	rgb 000 000 255 is 2
	rgb 010 020 030 is 3
end

image bits 6 by 4
012301
123012
230123
301230
)";

std::string WithInterlace(bool interlaced)
{
    std::string text = kGifBuildLocalMap;
    text.replace(text.find("%INTERLACE%"), 11, interlaced ? "image interlaced" : "");
    return text;
}

}  // namespace

class GifIndependentFiles : public ::testing::TestWithParam<std::string> {
protected:
    TempDir dir_;
};

// Files whose first image covers the screen load as 8-bit pictures whose
// pixels equal what Pillow and ImageMagick decode.
TEST_P(GifIndependentFiles, LoadAsEightBitPicturesEqualToOtherDecoders)
{
    const std::string gif = dir_.File("in.gif");
    const std::string maker = GetParam();
    if (maker.rfind("gifbuild:", 0) == 0)
        GifBuild(WithInterlace(maker == "gifbuild:interlaced"), gif);
    else if (maker.rfind("pillow:", 0) == 0)
        testsupport::Pillow(
            "r = Image.radial_gradient('L'); g = Image.linear_gradient('L')\n"
            "im = Image.merge('RGB', (r, g, r.rotate(90))).resize((97, 61)).quantize(" + maker.substr(7) + ")\n"
            "im.save('" + gif + "'" + (maker == "pillow:50" ? ", interlace=True" : ", interlace=False") + ")\n");
    else
        testsupport::ImageMagick(maker + (maker.back() == ':' ? "" : " ") + testsupport::Quote(gif));

    TBitmapEx picture;
    ASSERT_EQ(picture.LoadFromFileEx(gif), fiGif);
    EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf8bit);
    EXPECT_EQ(picture.Palette().size(), 256u);
    const RgbPicture ours = RgbOf(picture);
    EXPECT_TRUE(SamePixels(DecodeWithPillow(gif), ours));
    EXPECT_TRUE(SamePixels(DecodeWithImageMagick(gif), ours));
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, GifIndependentFiles,
    ::testing::Values("-size 40x30 gradient:red-blue -colors 16 GIF87:",  // 87a
                      "-size 64x48 plasma:fractal -seed 3 -colors 256",   // 89a, full map
                      "-size 33x17 plasma:fractal -seed 4 -colors 60 -interlace GIF",
                      "-size 1600x1200 plasma:fractal -seed 5 -colors 256",  // many table resets
                      "-size 19x9 pattern:checkerboard -monochrome",        // 2 colours
                      "pillow:2", "pillow:50", "gifbuild:plain", "gifbuild:interlaced"));

TEST(GifRead, TransparentFileShowsColoursOfItsIndicesWithTheirTransparency)
{
    TempDir dir;
    const std::string gif = dir.File("t.gif");
    testsupport::ImageMagick("-size 24x20 xc:white -fill navy -draw 'circle 12,10 12,4' -transparent white " +
                             testsupport::Quote(gif));
    TBitmapEx picture;
    picture.LoadFromFileEx(gif);
    EXPECT_FALSE(picture.Transparent);
    EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf32bit);
    EXPECT_TRUE(picture.Raster()->hasAlpha);
    EXPECT_TRUE(SamePixels(DecodeWithPillow(gif), RgbOf(picture)));
}

// ImageMagick gives the second and third frame local colour maps.
TEST(GifRead, AnimationGivesItsFirstFrame)
{
    TempDir dir;
    const std::string gif = dir.File("a.gif");
    testsupport::ImageMagick("-size 12x10 xc:red xc:blue xc:lime -loop 0 -delay 10 " + testsupport::Quote(gif));
    TBitmapEx picture;
    picture.LoadFromFileEx(gif);
    const RgbPicture ours = RgbOf(picture);
    ASSERT_EQ(ours.width, 12);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(ours.At(x, y), 0xFF0000u);
    EXPECT_TRUE(SamePixels(DecodeWithPillow(gif), ours));
}

TEST(GifRead, SmallOffsetFirstImageIsDrawnOnWhiteScreen)
{
    TempDir dir;
    const std::string gif = dir.File("o.gif");
    testsupport::ImageMagick("-size 20x10 xc:green -repage 40x30+5+7 " + testsupport::Quote(gif));
    TBitmapEx picture;
    picture.LoadFromFileEx(gif);
    EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pfDevice);
    const RgbPicture ours = RgbOf(picture);
    ASSERT_EQ(ours.width, 40);
    ASSERT_EQ(ours.height, 30);
    const RgbPicture pillow = DecodeWithPillow(gif);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside = x >= 5 && x < 25 && y >= 7 && y < 17;
            ASSERT_EQ(ours.At(x, y), inside ? pillow.At(x, y) : 0xFFFFFFu) << x << "," << y;
        }
    EXPECT_EQ(ours.At(5, 7), 0x008000u);
}

// Four arbitrary bytes in front, a lower-case signature or an unknown version
// read like the plain file; so does a file with comment and loop extensions.
TEST(GifRead, SignatureVariantsAndExtensionsReadLikeThePlainFile)
{
    TempDir dir;
    const std::string plain = dir.File("p.gif");
    const std::string extended = dir.File("e.gif");
    testsupport::ImageMagick("-size 30x20 plasma:fractal -seed 7 -colors 32 " + testsupport::Quote(plain));
    testsupport::ImageMagick(testsupport::Quote(plain) + " -comment 'a comment' -loop 3 " + testsupport::Quote(extended));
    Bytes bytes = testsupport::ReadBytes(plain);
    TBitmap reference;
    LoadGifBytes(bytes, reference);
    const RgbPicture expected = RgbOf(reference);

    Bytes prefixed{'J', 'U', 'N', 'K'};
    prefixed.insert(prefixed.end(), bytes.begin(), bytes.end());
    Bytes lower = bytes;
    std::copy_n("gif89a", 6, lower.begin());
    Bytes future = bytes;
    std::copy_n("GIF90a", 6, future.begin());
    for (const Bytes& variant : {prefixed, lower, future, testsupport::ReadBytes(extended)}) {
        TBitmap picture;
        LoadGifBytes(variant, picture);
        EXPECT_TRUE(SamePixels(expected, RgbOf(picture)));
    }
}

// Data cut off inside the image: the decoded rows stay, the missing part
// shows index 0, or the transparent index for a transparent image.
TEST(GifRead, CutOffImageDataFillsTheRestWithIndexZeroOrTheTransparentIndex)
{
    const std::vector<uint32_t> map{0x112233, 0x445566, 0x778899, 0xAABBCC};
    std::vector<int> indices(8 * 8);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = 1 + int(i % 3);
    const Bytes lzw = LiteralLzw(indices, 2);
    const Bytes half(lzw.begin(), lzw.begin() + long(lzw.size() / 2));
    for (const int transparent : {-1, 2}) {
        Bytes file = Header(8, 8, map);
        if (transparent >= 0)
            GraphicControl(file, transparent);
        Descriptor(file, 0, 0, 8, 8);
        file.push_back(2);
        file.push_back(uint8_t(half.size()));
        file.insert(file.end(), half.begin(), half.end());  // no terminator, no trailer
        TBitmap picture;
        LoadGifBytes(file, picture);
        const RgbPicture rgb = RgbOf(picture);
        EXPECT_EQ(rgb.At(0, 0), map[1]);
        EXPECT_EQ(rgb.At(1, 0), map[2]);
        EXPECT_EQ(rgb.At(7, 7), map[transparent >= 0 ? 2 : 0]);
    }
}

TEST(GifRead, ReadingEndsAfterTheTrailer)
{
    Bytes file = Header(2, 1, {0, 0xFFFFFF});
    Descriptor(file, 0, 0, 2, 1);
    ImageData(file, 2, LiteralLzw({0, 1}, 2));
    file.push_back(0x3B);
    const size_t gifSize = file.size();
    file.push_back('X');
    TGIFImage gif;
    EXPECT_EQ(gif.LoadFromBytes(file), gifSize);

    Bytes bad = Header(2, 1, {0, 0xFFFFFF});
    Append(bad, {0x21, 0x42});
    EXPECT_THROW(gif.LoadFromBytes(bad), GIFException);
}

TEST(GifRead, FailedLoadLeavesThePictureAsItWas)
{
    TempDir dir;
    const std::string gif = dir.File("bad.gif");
    Bytes file = Header(4, 4);  // no colour map anywhere
    Descriptor(file, 0, 0, 4, 4);
    ImageData(file, 2, LiteralLzw(std::vector<int>(16, 1), 2));
    file.push_back(0x3B);
    testsupport::WriteBytes(gif, file);
    TBitmapEx picture;
    picture.SetPictureWidth(3);
    picture.SetPictureHeight(2);
    try {
        picture.LoadFromFileEx(gif);
        FAIL() << "no error";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "No global or local color table defined");
    }
    EXPECT_EQ(picture.Width(), 3);
    EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf24bit);
}

TEST(GifRead, EmptyGifLeavesAnEmptyPicture)
{
    Bytes file = Header(5, 5, {0, 0xFFFFFF});
    file.push_back(0x3B);
    TBitmap picture;
    picture.NewRaster(2, 2, TPixelFormat::pf24bit);
    LoadGifBytes(file, picture);
    EXPECT_TRUE(picture.Empty());
}

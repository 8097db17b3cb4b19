// JPEG reading and writing, checked against libjpeg's own tools, Pillow and
// ImageMagick.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <jerror.h>

#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "common/FileIO.h"
#include "formats/jpeg/JpegImage.h"

using namespace corvalin;
using namespace testsupport;
using namespace picturetest;

namespace {

// A smooth picture with some detail: what JPEG is made for.
TColor Scene(int x, int y)
{
    const int r = (x * 255) / 95;
    const int g = (y * 255) / 71;
    const int b = ((x / 16 + y / 16) % 2) ? 200 : 40;
    return RGB(uint8_t(r), uint8_t(g), uint8_t(b));
}

// A PNG of many colours and edges for the encoders to work on.
std::string MakeSource(const TempDir& dir)
{
    const std::string png = dir.File("source.png");
    ImageMagick("-size 96x72 gradient:red-blue -fill yellow -draw 'circle 48,36 60,50' "
                "-fill black -draw 'rectangle 5,5 30,20' " + Quote(png));
    return png;
}

struct Difference {
    double mean = 0;
    int max = 0;
};

Difference Compare(TBitmap& ours, const RgbPicture& theirs)
{
    Difference d;
    EXPECT_EQ(ours.Width(), theirs.width);
    EXPECT_EQ(ours.Height(), theirs.height);
    if (ours.Width() != theirs.width || ours.Height() != theirs.height)
        return {1e9, 255};
    double total = 0;
    for (int y = 0; y < theirs.height; ++y)
        for (int x = 0; x < theirs.width; ++x) {
            const TColor c = ours.Canvas().ReadPixel(x, y);
            const uint32_t t = theirs.At(x, y);
            for (int k = 0; k < 3; ++k) {
                const int mine = int((c >> (8 * k)) & 0xFF);
                const int other = int((t >> (16 - 8 * k)) & 0xFF);
                const int diff = std::abs(mine - other);
                total += diff;
                d.max = std::max(d.max, diff);
            }
        }
    d.mean = total / (3.0 * theirs.width * theirs.height);
    return d;
}

// libjpeg's own decoder with the same settings as ours.
RgbPicture DecodeWithDjpeg(const TempDir& dir, const std::string& jpeg, const std::string& options = "")
{
    const std::string out = dir.File("djpeg.bmp");
    EXPECT_EQ(RunCommand("/usr/bin/djpeg " + options + " -bmp -outfile " + Quote(out) + " " + Quote(jpeg)).status, 0);
    return DecodeWithPillow(out);
}

std::string ExpectJpegError(const std::string& path)
{
    TBitmapEx picture;
    try {
        picture.LoadFromFileEx(path);
    } catch (const EJPEG& e) {
        return e.what();
    }
    ADD_FAILURE() << path << " loaded";
    return {};
}

std::string JpegErrorText(int code)
{
    return "JPEG-Fehler #" + std::to_string(code);
}

// Offset of the first marker with this code, or npos.
size_t FindMarker(const std::vector<uint8_t>& bytes, uint8_t code)
{
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == code)
            return i;
    return std::string::npos;
}

}  // namespace

TEST(JpegRead, ColourFilesOfEveryEncoderDecodeLikeLibjpegItself)
{
    TempDir dir;
    const std::string png = MakeSource(dir);
    const std::string ppm = dir.File("source.ppm");
    ImageMagick(Quote(png) + " " + Quote(ppm));
    struct Case {
        const char* name;
        std::string command;
    };
    const std::vector<Case> cases = {
        {"im420.jpg", "/usr/bin/convert " + Quote(png) + " -sampling-factor 2x2 -quality 85 "},
        {"im444.jpg", "/usr/bin/convert " + Quote(png) + " -sampling-factor 1x1 -quality 92 "},
        {"restart.jpg", "/usr/bin/cjpeg -restart 2B -quality 75 " + Quote(ppm) + " > "},
        {"arith.jpg", "/usr/bin/cjpeg -arithmetic " + Quote(ppm) + " > "},
        {"rgb422.jpg", "/usr/bin/cjpeg -sample 2x1 " + Quote(ppm) + " > "},
        {"stored_rgb.jpg", "/usr/bin/cjpeg -rgb " + Quote(ppm) + " > "},
        {"pil_progressive.jpg", "/usr/bin/python3 -c " +
                                    Quote("import sys\nfrom PIL import Image\nImage.open(sys.argv[1])"
                                          ".save(sys.argv[2], quality=80, progressive=True)") +
                                    " " + Quote(png) + " "},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File(c.name);
        ASSERT_EQ(RunCommand(c.command + Quote(path)).status, 0) << c.name;
        TBitmapEx picture;
        EXPECT_EQ(picture.LoadFromFileEx(path), fiJpg);
        EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf24bit) << c.name;
        // Same library, same parameters: the very same pixels.
        EXPECT_EQ(Compare(picture, DecodeWithDjpeg(dir, path)).max, 0) << c.name;
        // And close to what Pillow makes of it.
        EXPECT_LT(Compare(picture, DecodeWithPillow(path)).mean, 1.0) << c.name;
    }
}

TEST(JpegRead, HeaderIsParsedBeforeAnyPixelIsDecoded)
{
    TempDir dir;
    const std::string path = dir.File("p.jpg");
    ImageMagick(Quote(MakeSource(dir)) + " -interlace JPEG " + Quote(path));
    TJPEGImage image;
    const TLargeBytes bytes = ReadWholeFile(path);
    image.LoadFromBytes({bytes.begin(), bytes.end()});
    EXPECT_EQ(image.Width(), 96);
    EXPECT_EQ(image.Height(), 72);
    EXPECT_TRUE(image.ProgressiveEncoding());
    try {
        image.SetWidth(10);
        FAIL();
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "Die Größe einer JPEG-Grafik kann nicht verändert werden");
    }
    EXPECT_EQ(image.Bitmap().PixelFormat(), TPixelFormat::pf24bit);
}

TEST(JpegRead, GreyscaleGivesAnEightBitPictureOfAtMost236Greys)
{
    TempDir dir;
    const std::string path = dir.File("grey.jpg");
    ASSERT_EQ(RunCommand("/usr/bin/convert -size 64x300 gradient:white-black ppm:- | /usr/bin/cjpeg -grayscale "
                         "-progressive > " + Quote(path)).status, 0);
    TBitmapEx picture;
    picture.LoadFromFileEx(path);
    ASSERT_EQ(picture.PixelFormat(), TPixelFormat::pf8bit);
    const auto& palette = picture.Palette();
    EXPECT_GT(palette.size(), 200u);
    EXPECT_LE(palette.size(), 236u);
    for (TColor c : palette)
        EXPECT_TRUE(RedOf(c) == GreenOf(c) && GreenOf(c) == BlueOf(c));
    // djpeg quantises greyscale files the same way (one pass, Floyd-Steinberg).
    EXPECT_EQ(Compare(picture, DecodeWithDjpeg(dir, path, "-colors 236")).max, 0);
    // Dithering keeps it close to the unquantised greys.
    EXPECT_LT(Compare(picture, DecodeWithPillow(path)).mean, 1.5);
}

TEST(JpegRead, CmykFilesBecomeRgbIncludingAdobeInvertedInk)
{
    TempDir dir;
    const std::string path = dir.File("cmyk.jpg");
    ImageMagick(Quote(MakeSource(dir)) + " -colorspace CMYK -quality 95 " + Quote(path));
    ASSERT_NE(FindMarker(ReadBytes(path), 0xEE), std::string::npos) << "expected an Adobe marker";
    TBitmapEx picture;
    picture.LoadFromFileEx(path);
    EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf24bit);
    const Difference d = Compare(picture, DecodeWithPillow(path));
    EXPECT_LE(d.max, 2);
    // The black rectangle stays black and the yellow circle yellow.
    EXPECT_LT(picture.Canvas().ReadPixel(15, 12) & 0xF0F0F0, 0x101010u);
    const TColor centre = picture.Canvas().ReadPixel(48, 36);
    EXPECT_GT(RedOf(centre), 230);
    EXPECT_GT(GreenOf(centre), 230);
    EXPECT_LT(BlueOf(centre), 30);
}

TEST(JpegRead, TruncatedFileDecodesAsFarAsItsDataGoes)
{
    TempDir dir;
    const std::string whole = dir.File("whole.jpg");
    ImageMagick("-size 96x400 gradient:red-blue -quality 90 " + Quote(whole));
    std::vector<uint8_t> bytes = ReadBytes(whole);
    TBitmapEx full;
    full.LoadFromFileEx(whole);
    const std::string cut = dir.File("cut.jpg");
    bytes.resize(bytes.size() / 2);
    WriteBytes(cut, bytes);
    TBitmapEx picture;
    picture.LoadFromFileEx(cut);
    ASSERT_EQ(picture.Width(), 96);
    ASSERT_EQ(picture.Height(), 400);
    // The top rows came from real data.
    for (int x = 0; x < 96; x += 7)
        EXPECT_EQ(picture.Canvas().ReadPixel(x, 20), full.Canvas().ReadPixel(x, 20));
    // Cut inside the header: nothing to show, and that is an error.
    bytes.resize(30);
    WriteBytes(cut, bytes);
    EXPECT_EQ(ExpectJpegError(cut).rfind("JPEG-Fehler #", 0), 0u);
}

TEST(JpegRead, NonJpegDataFailsWithLibjpegsMessageCode)
{
    TempDir dir;
    WriteBytes(dir.File("text.jpg"), {'H', 'a', 'l', 'l', 'o'});
    EXPECT_EQ(ExpectJpegError(dir.File("text.jpg")), JpegErrorText(JERR_NO_SOI));
    WriteBytes(dir.File("empty.jpg"), {});
    EXPECT_EQ(ExpectJpegError(dir.File("empty.jpg")), JpegErrorText(JERR_INPUT_EMPTY));

    // libjpeg's own text travels beside the message, into the failure's reason.
    const std::vector<uint8_t> text{'H', 'a', 'l', 'l', 'o'};
    try {
        TJpegDecoder decoder(text);
        FAIL();
    } catch (const EJPEG& e) {
        EXPECT_EQ(e.MessageCode(), JERR_NO_SOI);
        EXPECT_EQ(e.Detail(), "Not a JPEG file: starts with 0x48 0x61");
        EXPECT_EQ(ReasonOf(e), JpegErrorText(JERR_NO_SOI) + " (Not a JPEG file: starts with 0x48 0x61)");
    }
}

// An abbreviated image and its tables apart, as TIFF files keep JPEG strips:
// the decoder reads the tables first and decodes the image as the whole file.
TEST(JpegRead, TablesKeptApartFromTheImage)
{
    TempDir dir;
    const std::string path = dir.File("whole.jpg");
    ImageMagick("-size 48x40 gradient:red-blue -quality 80 " + Quote(path));
    const std::vector<uint8_t> whole = ReadBytes(path);
    std::vector<uint8_t> tables{0xFF, 0xD8}, image{0xFF, 0xD8};
    for (size_t at = 2; at + 4 <= whole.size();) {
        const uint8_t marker = whole[at + 1];
        if (marker == 0xDA) {  // the scan runs to the end of the file
            image.insert(image.end(), whole.begin() + long(at), whole.end());
            break;
        }
        const size_t length = size_t(whole[at + 2]) << 8 | whole[at + 3];
        auto& target = (marker == 0xDB || marker == 0xC4) ? tables : image;
        target.insert(target.end(), whole.begin() + long(at), whole.begin() + long(at + 2 + length));
        at += 2 + length;
    }
    tables.insert(tables.end(), {0xFF, 0xD9});

    auto decodeAll = [](TJpegDecoder& decoder) {
        jpeg_decompress_struct& cinfo = decoder.Info();
        cinfo.out_color_space = JCS_RGB;
        decoder.Start();
        std::vector<uint8_t> pixels(size_t(cinfo.output_width) * cinfo.output_height * 3);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.data() + size_t(cinfo.output_scanline) * cinfo.output_width * 3;
            if (decoder.ReadRows(&row, 1) == 0)
                break;
        }
        decoder.Finish();
        return pixels;
    };
    TJpegDecoder reference(whole);
    TJpegDecoder apart(image, tables);
    EXPECT_EQ(apart.Info().image_width, 48u);
    EXPECT_EQ(decodeAll(apart), decodeAll(reference));
    // Without its tables the abbreviated image cannot be decoded.
    TJpegDecoder bare(image);
    EXPECT_THROW(decodeAll(bare), EJPEG);
}

TEST(JpegRead, PictureBeyondTheRasterLimitFailsBeforeAllocation)
{
    TempDir dir;
    const std::string path = dir.File("huge.jpg");
    ImageMagick("-size 16x16 xc:gray -quality 50 " + Quote(path));
    std::vector<uint8_t> bytes = ReadBytes(path);
    const size_t sof = FindMarker(bytes, 0xC0);
    ASSERT_NE(sof, std::string::npos);
    // Height and width 65000: some 12 GB of 24-bit raster.
    bytes[sof + 5] = bytes[sof + 7] = 0xFD;
    bytes[sof + 6] = bytes[sof + 8] = 0xE8;
    WriteBytes(path, bytes);
    TBitmapEx picture;
    Fill(picture, 2, 2, Noise);
    try {
        picture.LoadFromFileEx(path);
        FAIL();
    } catch (const EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "Systemressourcen erschöpft.");
    }
    EXPECT_EQ(picture.Width(), 2);

    // 30000 x 20000 fits the raster limit, but a progressive 4:4:4 file would
    // need twice that for libjpeg's coefficients: refused before allocation.
    ImageMagick("-size 16x16 gradient:red-blue -sampling-factor 1x1 -interlace JPEG " + Quote(path));
    bytes = ReadBytes(path);
    const size_t sof2 = FindMarker(bytes, 0xC2);
    ASSERT_NE(sof2, std::string::npos);
    bytes[sof2 + 5] = 20000 >> 8;
    bytes[sof2 + 6] = 20000 & 0xFF;
    bytes[sof2 + 7] = 30000 >> 8;
    bytes[sof2 + 8] = 30000 & 0xFF;
    WriteBytes(path, bytes);
    EXPECT_EQ(ExpectJpegError(path), JpegErrorText(JERR_NO_BACKING_STORE));
}

TEST(JpegRead, EndlessScansAreCutShort)
{
    TempDir dir;
    const std::string path = dir.File("scans.jpg");
    ImageMagick("-size 256x256 gradient:red-blue -interlace JPEG " + Quote(path));
    std::vector<uint8_t> bytes = ReadBytes(path);
    // Repeat the last scan (from its SOS to the end marker) thousands of times.
    size_t lastScan = 0;
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA)
            lastScan = i;
    const std::vector<uint8_t> scan(bytes.begin() + long(lastScan), bytes.end() - 2);
    bytes.resize(bytes.size() - 2);
    for (int i = 0; i < 5000; ++i)
        bytes.insert(bytes.end(), scan.begin(), scan.end());
    bytes.insert(bytes.end(), {0xFF, 0xD9});
    WriteBytes(path, bytes);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ExpectJpegError(path), JpegErrorText(JERR_BAD_PROGRESSION));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(JpegWrite, BaselineJfifThatOtherDecodersRead)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 96, 72, Scene);
    const std::string path = dir.File("out.jpg");
    picture.SaveToFileEx(path, 95);
    const std::vector<uint8_t> bytes = ReadBytes(path);
    ASSERT_GT(bytes.size(), 20u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0}));
    EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 10), "JFIF");
    EXPECT_NE(FindMarker(bytes, 0xC0), std::string::npos) << "baseline frame";
    EXPECT_EQ(FindMarker(bytes, 0xC2), std::string::npos) << "no progressive frame";
    for (const RgbPicture& decoded : {DecodeWithPillow(path), DecodeWithImageMagick(path)}) {
        const Difference d = Compare(picture, decoded);
        EXPECT_LT(d.mean, 5.0);  // 4:2:0 chroma at the checkerboard's sharp blue edges
        EXPECT_LT(d.max, 80);
    }
    // libjpeg's own encoder with the same quality and defaults writes the same bytes.
    picture.SaveToFileEx(dir.File("source.bmp"), 0);
    ASSERT_EQ(RunCommand("/usr/bin/cjpeg -quality 95 " + Quote(dir.File("source.bmp")) + " > " +
                         Quote(dir.File("cjpeg.jpg"))).status, 0);
    EXPECT_EQ(ReadBytes(dir.File("cjpeg.jpg")), bytes);
}

TEST(JpegWrite, LowerQualityGivesSmallerFiles)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 96, 72, [](int x, int y) { return (Scene(x, y) + Noise(x, y) / 8) & 0xFFFFFF; });
    picture.SaveToFileEx(dir.File("q10.jpg"), 10);
    picture.SaveToFileEx(dir.File("q100.jpg"), 100);
    EXPECT_LT(std::filesystem::file_size(dir.File("q10.jpg")) * 2, std::filesystem::file_size(dir.File("q100.jpg")));
    for (const char* name : {"q10.jpg", "q100.jpg"})
        EXPECT_EQ(DecodeWithPillow(dir.File(name)).width, 96) << name;
}

TEST(JpegWrite, PaletteAndSixteenBitPicturesBecomeColourFilesOfTheirColours)
{
    TempDir dir;
    for (TPixelFormat format : {TPixelFormat::pf1bit, TPixelFormat::pf8bit, TPixelFormat::pf16bit,
                                TPixelFormat::pf32bit}) {
        TBitmapEx picture;
        Fill(picture, 64, 48, Scene);
        picture.ChangePixelFormat(format);
        const std::string path = dir.File("p.jpg");
        picture.SaveToFileEx(path, 100);
        const std::vector<uint8_t> bytes = ReadBytes(path);
        const size_t sof = FindMarker(bytes, 0xC0);
        ASSERT_NE(sof, std::string::npos);
        EXPECT_EQ(bytes[sof + 9], 3) << "three components";
        EXPECT_LT(Compare(picture, DecodeWithImageMagick(path)).mean, 6.0) << int(format);
    }
}

TEST(JpegWrite, EmptyPictureIsRefusedAndLeavesTheFile)
{
    TempDir dir;
    const std::string path = dir.File("e.jpg");
    WriteBytes(path, {1, 2, 3});
    TBitmapEx picture;
    EXPECT_THROW(picture.SaveToFileEx(path, 75), EInvalidGraphic);
    EXPECT_EQ(std::filesystem::file_size(path), 3u);
}

TEST(JpegRead, SampledRowsScaleToTheSamePixelsAsTheWholePicture)
{
    TempDir dir;
    const std::string ppm = dir.File("odd.ppm");
    ImageMagick(Quote(MakeSource(dir)) + " -resize 97x73! " + Quote(ppm));
    const std::string cjpeg = "/usr/bin/cjpeg ";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"420.jpg", cjpeg + "-sample 2x2"}, {"444.jpg", cjpeg + "-sample 1x1"},
        {"422.jpg", cjpeg + "-sample 2x1"}, {"440.jpg", cjpeg + "-sample 1x2"},
        {"411.jpg", cjpeg + "-sample 4x1"}, {"progressive.jpg", cjpeg + "-progressive"},
        {"restart.jpg", cjpeg + "-restart 1"}, {"arith.jpg", cjpeg + "-arithmetic"},
        {"rgb.jpg", cjpeg + "-rgb"}, {"grey.jpg", cjpeg + "-grayscale"},
        {"cmyk.jpg", "/usr/bin/convert ppm:- -colorspace CMYK jpg:- <"},
        {"whole-1x2.jpg", cjpeg + "-sample 1x2,1x2,1x2"}, {"whole-2x3.jpg", cjpeg + "-sample 2x3"},
    };
    for (const auto& [name, command] : cases) {
        const std::string path = dir.File(name);
        ASSERT_EQ(RunCommand(command + " " + Quote(ppm) + " > " + Quote(path)).status, 0) << name;
        std::vector<uint8_t> cut = ReadBytes(path);
        cut.resize(cut.size() * 3 / 5);  // damage decodes as far as it goes, in both ways
        std::vector<uint8_t> junk = ReadBytes(path);
        junk.insert(junk.end() - 2, {0xFF, 0xC4, 0x00, 0x02, 0xFF, 0xFF, 0x12});
        for (const auto& bytes : {ReadBytes(path), cut, junk}) {
            std::shared_ptr<TRaster> whole;
            try {
                whole = DecodeJpeg(bytes);
            } catch (const EJPEG& error) {
                // A file the whole decode refuses is refused alike.
                EXPECT_THROW(DecodeJpeg(bytes, [](int32_t, int32_t) { return 5; }), EJPEG) << name;
                continue;
            }
            for (int rows : {1, 2, 5, 17, 36, 72, 73, 200}) {
                const auto sampled = DecodeJpeg(bytes, [rows](int32_t, int32_t) { return rows; });
                EXPECT_EQ(ScaledRows(*sampled, 41, rows), ScaledRows(*whole, 41, rows))
                    << name << " to " << rows << " rows, " << bytes.size() << " bytes";
                // Colour pictures of the usual layouts deliver just the
                // sampled rows; greys and the other layouts deliver all.
                const bool usual = name.find("whole") == std::string::npos && name != "grey.jpg";
                const bool fewer = usual && rows < whole->height;
                EXPECT_EQ(sampled->height, fewer ? rows : whole->height) << name;
            }
        }
    }
}

// A reduced decode takes the largest of libjpeg's 1/8, 1/4 and 1/2 that the
// request allows and gives what libjpeg's own tool gives at that scale.
TEST(JpegRead, ReducedDecodeTakesTheLargestAllowedDctScale)
{
    TempDir dir;
    const std::string path = dir.File("reduce.jpg");
    ImageMagick(Quote(MakeSource(dir)) + " -resize 101x75! -quality 90 " + Quote(path));
    const std::vector<uint8_t> bytes = ReadBytes(path);
    struct Case {
        int32_t allowed;
        int factor;
    };
    for (const Case c : {Case{-3, 1}, {1, 1}, {2, 2}, {3, 2}, {4, 4}, {7, 4}, {8, 8}, {1000, 8}}) {
        SCOPED_TRACE(c.allowed);
        int32_t askedWidth = 0;
        TBitmap picture;
        picture.AdoptRaster(DecodeJpegReduced(bytes, {[&](int32_t width, int32_t) {
                                                  askedWidth = width;
                                                  return c.allowed;
                                              }}));
        EXPECT_EQ(askedWidth, 101);
        EXPECT_EQ(picture.Width(), (101 + c.factor - 1) / c.factor);
        EXPECT_EQ(picture.Height(), (75 + c.factor - 1) / c.factor);
        EXPECT_EQ(Compare(picture, DecodeWithDjpeg(dir, path, "-scale 1/" + std::to_string(c.factor))).max, 0);
    }
}

// The Photoshop reader against documents written by ImageMagick, documents
// built here from the published layout, and broken documents.
#include <gtest/gtest.h>

#include "ReaderTestHelpers.h"
#include "common/ByteCursor.h"
#include "formats/psd/PsdGraphic.h"

using namespace corvalin;
using namespace readertest;
using testsupport::DecodeWithImageMagick;
using testsupport::DecodeWithPillow;
using testsupport::TempDir;

namespace {

constexpr const char* kInvalid = "Cannot load image. Invalid or unexpected PSD or PDD image format.";

// PackBits as Photoshop writes it: runs of three or more repeat, the rest
// goes in literal stretches of at most 128 bytes.
std::vector<uint8_t> PackBits(const uint8_t* row, size_t n)
{
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < n) {
        size_t run = 1;
        while (i + run < n && run < 128 && row[i + run] == row[i])
            ++run;
        if (run >= 3) {
            out.push_back(uint8_t(257 - run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        size_t literal = 0;
        while (i + literal < n && literal < 128 &&
               !(i + literal + 2 < n && row[i + literal] == row[i + literal + 1] &&
                 row[i + literal] == row[i + literal + 2]))
            ++literal;
        out.push_back(uint8_t(literal - 1));
        out.insert(out.end(), row + i, row + i + literal);
        i += literal;
    }
    return out;
}

struct PsdLayout {
    uint16_t channels = 3;
    uint32_t width = 1;
    uint32_t height = 1;
    uint16_t depth = 8;
    uint16_t mode = 3;
    std::vector<uint8_t> colorData;
    uint16_t compression = 0;
};

// A document from its channel planes, each of height rows of
// (width x depth + 7) / 8 bytes.
std::vector<uint8_t> BuildPsd(const PsdLayout& l, const std::vector<std::vector<uint8_t>>& planes)
{
    std::vector<uint8_t> file = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
    Put16(file, l.channels, TByteOrder::BigEndian);
    Put32(file, l.height, TByteOrder::BigEndian);
    Put32(file, l.width, TByteOrder::BigEndian);
    Put16(file, l.depth, TByteOrder::BigEndian);
    Put16(file, l.mode, TByteOrder::BigEndian);
    Put32(file, uint32_t(l.colorData.size()), TByteOrder::BigEndian);
    file.insert(file.end(), l.colorData.begin(), l.colorData.end());
    Put32(file, 6, TByteOrder::BigEndian);  // resources nobody reads
    file.insert(file.end(), {'8', 'B', 'I', 'M', 0, 0});
    Put32(file, 0, TByteOrder::BigEndian);
    Put16(file, l.compression, TByteOrder::BigEndian);
    const size_t rowBytes = (size_t(l.width) * l.depth + 7) / 8;
    if (l.compression != 1) {
        for (const auto& plane : planes)
            file.insert(file.end(), plane.begin(), plane.end());
        return file;
    }
    std::vector<uint8_t> packed;
    for (const auto& plane : planes)
        for (size_t y = 0; y < l.height; ++y) {
            const std::vector<uint8_t> row = PackBits(plane.data() + y * rowBytes, rowBytes);
            Put16(file, uint16_t(row.size()), TByteOrder::BigEndian);
            packed.insert(packed.end(), row.begin(), row.end());
        }
    file.insert(file.end(), packed.begin(), packed.end());
    return file;
}

// A plane of 8- or 16-bit samples that varies in both directions.
std::vector<uint8_t> Plane(const PsdLayout& l, int seed)
{
    std::vector<uint8_t> plane;
    for (uint32_t y = 0; y < l.height; ++y)
        for (uint32_t x = 0; x < l.width; ++x) {
            const unsigned v = (x * (7 + seed) + y * (3 + 2 * seed) + (x / 4) * seed * 11) % 256;
            plane.push_back(uint8_t(v));
            if (l.depth == 16)
                plane.push_back(uint8_t(v * 13));
        }
    return plane;
}

int PillowAlphaAt(const std::string& path, int x, int y)
{
    const auto result = testsupport::RunCommand(
        "/usr/bin/python3 -c 'import sys\nfrom PIL import Image\n"
        "print(Image.open(sys.argv[1]).getchannel(\"A\").getpixel((int(sys.argv[2]), int(sys.argv[3]))))' " +
        testsupport::Quote(path) + " " + std::to_string(x) + " " + std::to_string(y));
    return result.status == 0 ? std::stoi(result.output) : -1;
}

std::unique_ptr<TPSDGraphic> Load(const std::vector<uint8_t>& file)
{
    auto psd = std::make_unique<TPSDGraphic>();
    psd->LoadFromBytes(file);
    return psd;
}

std::string ErrorOf(const std::vector<uint8_t>& file)
{
    try {
        Load(file);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

}  // namespace

// ImageMagick writes RGB, RGB with alpha, grey, indexed, CMYK and bitmap
// documents, raw and run-length encoded. 8-bit documents are compared with
// Pillow's decode; 16-bit ones (which Pillow cannot read), CMYK (which
// Pillow converts by another formula) and bitmap (which Pillow shows
// inverted: 1 is black there) with ImageMagick's. ImageMagick's run-length
// encoded indexed documents hold rows twice too long, which its own reader
// refuses; indexed documents are read raw here and packed in the next tests.
TEST(PsdRead, ImageMagickDocumentsMatchIndependentDecoders)
{
    TempDir dir;
    const std::string source = dir.File("plasma.png");
    testsupport::ImageMagick("-size 45x21 -seed 4 plasma:fractal " + source);
    const struct {
        const char* name;
        const char* options;
        TPixelFormat format;
        bool pillow;
        int tolerance;
    } documents[] = {
        {"rgb", "-type TrueColor -depth 8", TPixelFormat::pf24bit, true, 0},
        {"rgba", "-alpha set -channel A -evaluate set 60% +channel -type TrueColorAlpha -depth 8",
         TPixelFormat::pf32bit, true, 0},
        {"grey", "-colorspace Gray -depth 8", TPixelFormat::pf8bit, true, 0},
        {"indexed", "-colors 50 -type Palette", TPixelFormat::pf8bit, true, 0},
        {"bitmap", "-monochrome -depth 1", TPixelFormat::pf1bit, false, 0},
        {"cmyk", "-colorspace CMYK -depth 8", TPixelFormat::pf24bit, false, 1},
        {"rgb16", "-depth 16", TPixelFormat::pf24bit, false, 1},
        {"grey16", "-colorspace Gray -depth 16", TPixelFormat::pf8bit, false, 1},
        {"cmyk16", "-colorspace CMYK -depth 16", TPixelFormat::pf24bit, false, 1}};
    for (const auto& d : documents)
        for (const char* compression : {"None", "RLE"}) {
            if (std::string(d.name) == "indexed" && std::string(compression) == "RLE")
                continue;
            SCOPED_TRACE(std::string(d.name) + " " + compression);
            const std::string path = dir.File(std::string(d.name) + compression + ".psd");
            testsupport::ImageMagick(source + " " + d.options + " -compress " + compression + " " + path);
            TBitmapEx picture;
            EXPECT_EQ(picture.LoadFromFileEx(path), fiPsd);
            EXPECT_EQ(picture.PixelFormat(), d.format);
            const auto reference = d.pillow ? DecodeWithPillow(path) : DecodeWithImageMagick(path);
            EXPECT_EQ(DifferingPixels(picture, reference, d.tolerance), 0);
            if (d.format == TPixelFormat::pf32bit) {  // the alpha channel in the alpha byte
                EXPECT_EQ(picture.ScanLine(3)[4 * 5 + 3], PillowAlphaAt(path, 5, 3));
            }
        }
}

// Modes and depths ImageMagick does not write, built from the layout and
// compared with ImageMagick's decode.
TEST(PsdRead, BuiltDocumentsMatchImageMagick)
{
    TempDir dir;
    const struct {
        const char* name;
        uint16_t mode, depth, channels;
        TPixelFormat format;
        int tolerance;
    } documents[] = {
        {"grey16", 1, 16, 1, TPixelFormat::pf8bit, 1},
        {"rgb-extra", 3, 8, 5, TPixelFormat::pf32bit, 0},
        {"multichannel", 7, 8, 3, TPixelFormat::pf24bit, 0},
        // ImageMagick takes a* = b* = 128 as +0.5, not 0, and converts
        // relative to D65 as this reader does: a few steps apart, up to ten
        // in the darkest colours, where sRGB's curve is steepest.
        {"lab", 9, 8, 3, TPixelFormat::pf24bit, 10},
        {"lab16", 9, 16, 3, TPixelFormat::pf24bit, 10}};
    for (const auto& d : documents)
        for (const uint16_t compression : {uint16_t(0), uint16_t(1)}) {
            SCOPED_TRACE(testing::Message() << d.name << " compression " << compression);
            PsdLayout l;
            l.width = 23;
            l.height = 9;
            l.mode = d.mode;
            l.depth = d.depth;
            l.channels = d.channels;
            l.compression = compression;
            std::vector<std::vector<uint8_t>> planes;
            for (int k = 0; k < d.channels; ++k)
                planes.push_back(Plane(l, k));
            if (d.mode == 9)  // keep a* and b* inside what sRGB shows
                for (auto& plane : {&planes[1], &planes[2]})
                    for (size_t i = 0; i < plane->size(); i += d.depth / 8)
                        (*plane)[i] = uint8_t(128 - 24 + (*plane)[i] % 48);
            const std::string path = dir.File("built.psd");
            testsupport::WriteBytes(path, BuildPsd(l, planes));
            TBitmapEx picture;
            picture.LoadFromFileEx(path);
            EXPECT_EQ(picture.PixelFormat(), d.format);
            EXPECT_EQ(DifferingPixels(picture, DecodeWithImageMagick(path), d.tolerance), 0);
        }
}

TEST(PsdRead, ColourRulesOfTheFormat)
{
    PsdLayout l;
    l.width = 4;
    l.height = 2;
    l.channels = 4;
    l.mode = 4;
    // CMYK stores 255 - ink: all 255 is white paper, all 0 full ink.
    auto cmyk = Load(BuildPsd(l, std::vector<std::vector<uint8_t>>(4, std::vector<uint8_t>(8, 255))));
    EXPECT_EQ(ReadRasterPixel(*cmyk->Raster(), 3, 1), clWhite);
    cmyk = Load(BuildPsd(l, std::vector<std::vector<uint8_t>>(4, std::vector<uint8_t>(8, 0))));
    EXPECT_EQ(ReadRasterPixel(*cmyk->Raster(), 3, 1), clBlack);
    // Lab with L = 255 and a = b = 128 is white.
    l.mode = 9;
    l.channels = 3;
    auto lab = Load(BuildPsd(l, {std::vector<uint8_t>(8, 255), std::vector<uint8_t>(8, 128),
                                 std::vector<uint8_t>(8, 128)}));
    EXPECT_EQ(ReadRasterPixel(*lab->Raster(), 0, 0), clWhite);

    // A grey document with an extra channel reads the first channel's rows
    // only; bitmap documents show 1 as black.
    l.mode = 1;
    l.channels = 2;
    l.compression = 1;
    std::vector<uint8_t> first = {1, 2, 3, 4, 5, 6, 7, 8};
    auto grey = Load(BuildPsd(l, {first, std::vector<uint8_t>(8, 99)}));
    EXPECT_EQ(std::vector<uint8_t>(grey->ScanLine(1), grey->ScanLine(1) + 4), (std::vector<uint8_t>{5, 6, 7, 8}));
    l.mode = 0;
    l.depth = 1;
    l.channels = 1;
    l.width = 10;
    l.compression = 0;
    auto bitmap = Load(BuildPsd(l, {{0x80, 0x40, 0xFF, 0xC0}}));
    ASSERT_EQ(bitmap->PixelFormat(), TPixelFormat::pf1bit);
    EXPECT_EQ(bitmap->Palette(), (std::vector<TColor>{clWhite, clBlack}));
    EXPECT_EQ(bitmap->ScanLine(1)[0], 0xFF);
    EXPECT_EQ(bitmap->ScanLine(1)[1] & 0xC0, 0xC0);

    // An indexed palette is 256 reds, greens, then blues; colour-mode data
    // beyond 768 bytes is skipped and the sections after it still found.
    l = PsdLayout{};
    l.mode = 2;
    l.channels = 1;
    l.width = 3;
    l.colorData.assign(800, 0);
    for (int i = 0; i < 256; ++i) {
        l.colorData[size_t(i)] = uint8_t(i);
        l.colorData[256 + size_t(i)] = uint8_t(255 - i);
        l.colorData[512 + size_t(i)] = uint8_t(i / 2);
    }
    for (const uint16_t compression : {uint16_t(0), uint16_t(1)}) {
        l.compression = compression;
        auto indexed = Load(BuildPsd(l, {{10, 200, 7}}));
        EXPECT_EQ(ReadRasterPixel(*indexed->Raster(), 1, 0), RGB(200, 55, 100));
    }
}

TEST(PsdRead, BrokenDocuments)
{
    PsdLayout l;
    l.width = 6;
    l.height = 3;
    l.compression = 1;
    const std::vector<std::vector<uint8_t>> planes(3, Plane(l, 1));
    const std::vector<uint8_t> good = BuildPsd(l, planes);
    ASSERT_EQ(ErrorOf(good), "");

    std::vector<uint8_t> file = good;
    file[1] = 'b';  // "8bPS"
    EXPECT_EQ(ErrorOf(file), kInvalid);
    EXPECT_EQ(ErrorOf({good.begin(), good.begin() + 30}), msg::StreamRead);
    EXPECT_EQ(ErrorOf({good.begin(), good.end() - 1}), msg::StreamRead);  // packed rows cut short
    file = good;
    file[26 + 3] = 0xF0;  // colour-mode data past the end
    EXPECT_EQ(ErrorOf(file), msg::StreamRead);
    file = good;
    file[25] = 5;  // a colour mode with no colour scheme
    EXPECT_EQ(ErrorOf(file), kInvalid);
    file = good;
    std::fill(file.begin() + 18, file.begin() + 22, 0);  // no columns: nothing to show
    EXPECT_TRUE(Load(file)->Empty());
    file = good;
    file[23] = 32;  // 32-bit floating point samples
    EXPECT_EQ(ErrorOf(file), "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");

    // A packed row that claims more than the row holds stays in its row,
    // and a header byte of -128 is skipped.
    l.channels = 1;
    l.mode = 1;
    file = BuildPsd(l, {std::vector<uint8_t>(18, 0)});
    const size_t data = file.size() - 3 * 2 - 3 * 2;
    const std::vector<uint8_t> rows = {0x80, 0xFB, 9, 0x81, 7, 0x02, 1, 2, 3};
    file.resize(data);
    for (const uint16_t length : {3, 2, 4})
        Put16(file, length, TByteOrder::BigEndian);
    file.insert(file.end(), rows.begin(), rows.end());
    const auto grey = Load(file);
    EXPECT_EQ(std::vector<uint8_t>(grey->ScanLine(0), grey->ScanLine(0) + 6), (std::vector<uint8_t>(6, 9)));
    EXPECT_EQ(std::vector<uint8_t>(grey->ScanLine(1), grey->ScanLine(1) + 6), (std::vector<uint8_t>(6, 7)));
    EXPECT_EQ(std::vector<uint8_t>(grey->ScanLine(2), grey->ScanLine(2) + 6),
              (std::vector<uint8_t>{1, 2, 3, 0, 0, 0}));
}

// A document whose row table leaves its rows empty is refused before its
// picture is allocated; the same size with its rows packed converts.
TEST(PsdRead, RowTablesThatFillLessThanOnePercentAreRefused)
{
    PsdLayout l;
    l.channels = 1;
    l.mode = 1;
    l.width = 1500;
    l.height = 1000;
    l.compression = 1;
    const std::vector<uint8_t> packed = BuildPsd(l, {std::vector<uint8_t>(size_t(l.width) * l.height, 77)});
    EXPECT_EQ(ErrorOf(packed), "");
    // The header alone, then a row table of 1000 lengths of 0.
    l.compression = 0;
    std::vector<uint8_t> empty = BuildPsd(l, {});
    empty.back() = 1;
    empty.insert(empty.end(), 2 * 1000, 0);
    EXPECT_EQ(ErrorOf(empty), kInvalid);
}

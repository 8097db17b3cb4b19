// The PCX reader against files written by ImageMagick and Pillow, files
// built here from the published layout, and broken files.
#include <gtest/gtest.h>

#include <array>

#include "ReaderTestHelpers.h"
#include "formats/pcx/PcxGraphic.h"
#include "formats/pcx/PcxRleDecoder.h"

using namespace corvalin;
using namespace readertest;
using testsupport::DecodeWithImageMagick;
using testsupport::DecodeWithPillow;
using testsupport::TempDir;

namespace {

struct PcxLayout {
    uint8_t version = 5;
    uint8_t encoding = 1;
    uint8_t bits = 8;
    uint8_t planes = 1;
    int width = 1;
    int height = 1;
    uint16_t bytesPerLine = 0;  // 0: the smallest even count
    uint16_t paletteInfo = 1;
    std::array<uint8_t, 48> colorMap{};
};

// Runs as ZSoft's encoders write them: per line, at most 63, and a single
// byte of 192 or more as a run of one.
void EncodeLine(const std::vector<uint8_t>& line, std::vector<uint8_t>& out)
{
    for (size_t i = 0; i < line.size();) {
        size_t run = 1;
        while (i + run < line.size() && run < 63 && line[i + run] == line[i])
            ++run;
        if (run > 1 || line[i] >= 0xC0)
            out.push_back(uint8_t(0xC0 | run));
        out.push_back(line[i]);
        i += run;
    }
}

// A PCX file from the indexes of its pixels (or red, green, blue triples of
// a 24-bit picture), laid out as the format's planes.
std::vector<uint8_t> BuildPcx(PcxLayout l, const std::vector<uint8_t>& pixels,
                              const std::vector<uint8_t>& trailer = {})
{
    if (l.bytesPerLine == 0)
        l.bytesPerLine = uint16_t(((l.width * l.bits + 7) / 8 + 1) & ~1);
    std::vector<uint8_t> file(128, 0);
    file[0] = 10;
    file[1] = l.version;
    file[2] = l.encoding;
    file[3] = l.bits;
    Put16LE(file, 8, uint16_t(l.width - 1));
    Put16LE(file, 10, uint16_t(l.height - 1));
    Put16LE(file, 12, 72);
    Put16LE(file, 14, 72);
    std::copy(l.colorMap.begin(), l.colorMap.end(), file.begin() + 16);
    file[65] = l.planes;
    Put16LE(file, 66, l.bytesPerLine);
    Put16LE(file, 68, l.paletteInfo);
    for (int y = 0; y < l.height; ++y) {
        std::vector<uint8_t> line(size_t(l.planes) * l.bytesPerLine, 0);
        for (int p = 0; p < l.planes; ++p)
            for (int x = 0; x < l.width; ++x) {
                uint8_t* plane = line.data() + size_t(p) * l.bytesPerLine;
                if (l.bits == 8) {
                    plane[x] = pixels[(size_t(y) * l.width + x) * l.planes + p];
                    continue;
                }
                const uint8_t index = pixels[size_t(y) * l.width + x];
                // One plane holds whole indexes; several planes one bit each.
                const int value = l.planes == 1 ? index : index >> p & 1;
                const int bit = x * l.bits;
                plane[bit / 8] |= uint8_t(value << (8 - l.bits - bit % 8));
            }
        if (l.encoding == 1)
            EncodeLine(line, file);
        else
            file.insert(file.end(), line.begin(), line.end());
    }
    file.insert(file.end(), trailer.begin(), trailer.end());
    return file;
}

std::vector<uint8_t> PatternIndexes(int width, int height, int colours)
{
    std::vector<uint8_t> pixels(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[size_t(y) * width + x] = uint8_t((x / 3 + y * 5 + (x * y) % 7) % colours);
    return pixels;
}

std::array<uint8_t, 48> SixteenColours()
{
    std::array<uint8_t, 48> map{};
    for (size_t i = 0; i < map.size(); ++i)
        map[i] = uint8_t(i * 37 + 11);
    return map;
}

std::unique_ptr<TPCXGraphic> Load(const std::vector<uint8_t>& file)
{
    auto pcx = std::make_unique<TPCXGraphic>();
    pcx->LoadFromBytes(file);
    return pcx;
}

TColor PixelOf(const TBitmap& b, int x, int y)
{
    return ReadRasterPixel(*b.Raster(), x, y);
}

}  // namespace

// Pillow writes 1-, 8- and 24-bit files (ImageMagick here writes no 1-bit
// PCX); each loads with the pixel format the table names. Pillow's pictures
// are compared with ImageMagick's decode of the same picture saved as PNG
// (ImageMagick shows Pillow's 1-bit files inverted: it takes the header's
// colour map), ImageMagick's files with Pillow's decode.
TEST(PcxRead, IndependentFilesMatchTheOtherToolsDecode)
{
    TempDir dir;
    testsupport::Pillow(
        "import random\nrandom.seed(3)\nw, h = 41, 19\n"
        "im = Image.new('RGB', (w, h))\n"
        "im.putdata([((x * 6) % 256, (y * 13) % 256, random.randrange(256) if x % 5 == 0 else 90)"
        " for y in range(h) for x in range(w)])\n"
        "d = '" + dir.Path() + "/'\n"
        "for name, p in (('24', im), ('8', im.quantize(200)), ('1', im.convert('1')), ('L', im.convert('L'))):\n"
        "    p.save(d + 'pillow' + name + '.pcx')\n    p.save(d + 'pillow' + name + '.png')\n");
    const std::string source = dir.File("plasma.png");
    testsupport::ImageMagick("-size 45x21 -seed 4 plasma:fractal " + source);
    testsupport::ImageMagick(source + " -type TrueColor " + dir.File("magick24.pcx"));
    testsupport::ImageMagick(source + " -colors 100 -type Palette " + dir.File("magick8.pcx"));

    const struct { const char* name; TPixelFormat format; } files[] = {
        {"pillow24", TPixelFormat::pf24bit}, {"pillow8", TPixelFormat::pf8bit}, {"pillow1", TPixelFormat::pf1bit},
        {"pillowL", TPixelFormat::pf8bit}, {"magick24", TPixelFormat::pf24bit}, {"magick8", TPixelFormat::pf8bit}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string path = dir.File(std::string(f.name) + ".pcx");
        TBitmapEx picture;
        EXPECT_EQ(picture.LoadFromFileEx(path), fiPcx);
        EXPECT_EQ(picture.PixelFormat(), f.format);
        const bool byPillow = std::string(f.name).starts_with("pillow");
        const auto reference = byPillow ? DecodeWithImageMagick(dir.File(std::string(f.name) + ".png"))
                                        : DecodeWithPillow(path);
        EXPECT_EQ(DifferingPixels(picture, reference), 0);
    }
}

// No tool here writes 4-bit PCX: EGA's four planes and one plane of 4-bit
// indexes are built from the layout, run-length encoded and raw, and
// compared with ImageMagick's decode.
TEST(PcxRead, FourBitFilesMatchImageMagick)
{
    TempDir dir;
    const int width = 29, height = 11;
    const std::vector<uint8_t> indexes = PatternIndexes(width, height, 16);
    for (const uint8_t planes : {uint8_t(4), uint8_t(1)})
        for (const uint8_t encoding : {uint8_t(1), uint8_t(0)}) {
            SCOPED_TRACE(testing::Message() << int(planes) << " planes, encoding " << int(encoding));
            PcxLayout l;
            l.encoding = encoding;
            l.planes = planes;
            l.bits = planes == 4 ? 1 : 4;
            l.width = width;
            l.height = height;
            l.colorMap = SixteenColours();
            const std::string path = dir.File("four.pcx");
            testsupport::WriteBytes(path, BuildPcx(l, indexes));
            TBitmapEx picture;
            picture.LoadFromFileEx(path);
            ASSERT_EQ(picture.PixelFormat(), TPixelFormat::pf4bit);
            EXPECT_EQ(DifferingPixels(picture, DecodeWithImageMagick(path)), 0);
            // Plane 0 gives bit 0 of the index: the pixel shows that colour-map entry.
            const uint8_t i = indexes[size_t(3) * width + 7];
            EXPECT_EQ(PixelOf(picture, 7, 3), RGB(l.colorMap[i * 3], l.colorMap[i * 3 + 1], l.colorMap[i * 3 + 2]));
        }
}

TEST(PcxRead, PaletteRulesInTheirOrder)
{
    const int width = 8, height = 2;
    const std::vector<uint8_t> indexes = PatternIndexes(width, height, 16);
    PcxLayout l;
    l.width = width;
    l.height = height;
    l.colorMap = SixteenColours();

    // Version 3 takes the standard palette over the header's colour map.
    l.version = 3;
    l.bits = 4;
    auto pcx = Load(BuildPcx(l, indexes));
    ASSERT_EQ(pcx->Palette().size(), 16u);
    EXPECT_EQ(pcx->Palette()[1], RGB(128, 0, 0));
    EXPECT_EQ(pcx->Palette()[8], RGB(192, 192, 192));
    // Palette info 2 makes a 4-bit picture grey.
    l.version = 5;
    l.paletteInfo = 2;
    pcx = Load(BuildPcx(l, indexes));
    EXPECT_EQ(pcx->Palette()[1], RGB(17, 17, 17));

    // 8 bits: the trailer when its marker is there, else grey by palette
    // info 2, else the default palette of an 8-bit picture.
    l.bits = 8;
    l.paletteInfo = 1;
    std::vector<uint8_t> trailer(769);
    trailer[0] = 12;
    for (size_t i = 1; i < trailer.size(); ++i)
        trailer[i] = uint8_t(255 - i % 256);
    pcx = Load(BuildPcx(l, indexes, trailer));
    ASSERT_EQ(pcx->Palette().size(), 256u);
    EXPECT_EQ(pcx->Palette()[0], RGB(254, 253, 252));
    trailer[0] = 13;
    pcx = Load(BuildPcx(l, indexes, trailer));
    TBitmap plain;
    plain.NewRaster(1, 1, TPixelFormat::pf8bit);
    EXPECT_EQ(pcx->Palette(), plain.Palette());
    l.paletteInfo = 2;
    pcx = Load(BuildPcx(l, indexes, trailer));
    EXPECT_EQ(pcx->Palette()[200], RGB(200, 200, 200));
    EXPECT_EQ(PixelOf(*pcx, 5, 1), RGB(indexes[13], indexes[13], indexes[13]));

    // 2 bits: the four values show colour-map entries 0, 5, 10 and 15.
    l.bits = 2;
    l.paletteInfo = 1;
    pcx = Load(BuildPcx(l, PatternIndexes(width, height, 4)));
    ASSERT_EQ(pcx->PixelFormat(), TPixelFormat::pf4bit);
    const std::vector<uint8_t> values = PatternIndexes(width, height, 4);
    for (int x = 0; x < width; ++x) {
        const int entry = values[size_t(width) + x] * 5;
        EXPECT_EQ(PixelOf(*pcx, x, 1), RGB(l.colorMap[entry * 3], l.colorMap[entry * 3 + 1],
                                           l.colorMap[entry * 3 + 2]));
    }
}

TEST(PcxRead, RunLengthDecoderStaysInsideBothBuffers)
{
    TPCXRLEDecoder decoder;
    // 192 is a run of nothing that still takes its value byte; a run is cut
    // to the room left; a last run byte without its value ends the input.
    const std::vector<uint8_t> packed = {0xC0, 0x55, 0xC3, 0x07, 0x01, 0xC5, 0x09, 0xC2};
    std::vector<uint8_t> out(6, 0xEE);
    EXPECT_EQ(decoder.DecodeBlock(packed, out), 6u);
    EXPECT_EQ(out, (std::vector<uint8_t>{7, 7, 7, 1, 9, 9}));
    std::vector<uint8_t> more(12, 0xEE);
    EXPECT_EQ(decoder.DecodeBlock(packed, more), 9u);
    EXPECT_EQ(more[8], 9);
    EXPECT_EQ(more[9], 0xEE);
}

TEST(PcxRead, BrokenFiles)
{
    TempDir dir;
    PcxLayout l;
    l.width = 20;
    l.height = 6;
    const std::vector<uint8_t> indexes = PatternIndexes(l.width, l.height, 200);
    const std::vector<uint8_t> good = BuildPcx(l, indexes);

    // A first byte other than 10 or 205 is an empty picture, not an error;
    // 205 reads like 10.
    std::vector<uint8_t> file = good;
    file[0] = 11;
    EXPECT_TRUE(Load(file)->Empty());
    file[0] = 205;
    EXPECT_EQ(Load(file)->Width(), 20);

    auto errorOf = [&](const std::vector<uint8_t>& bytes) {
        testsupport::WriteBytes(dir.File("bad.pcx"), bytes);
        return LoadError(dir.File("bad.pcx"));
    };
    EXPECT_EQ(errorOf({good.begin(), good.begin() + 100}), msg::StreamRead);
    file = good;
    Put16LE(file, 4, 30);  // x min beyond x max + 1
    EXPECT_EQ(errorOf(file), msg::RangeError);
    file = good;
    Put16LE(file, 66, 3);  // a plane row too short for the width
    EXPECT_EQ(errorOf(file), "Cannot load image. Invalid or unexpected PCX image format.");
    for (const auto& [planes, bits] : {std::pair{3, 1}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 16}}) {
        file = good;
        file[65] = uint8_t(planes);
        file[3] = uint8_t(bits);
        Put16LE(file, 66, 40);
        EXPECT_EQ(errorOf(file), "Invalid color format in PCX file.") << planes << " x " << bits;
    }

    // Data that ends early: what is there, then zeros.
    file = good;
    file.resize(128 + 30);
    const auto cut = Load(file);
    ASSERT_EQ(cut->Height(), 6);
    EXPECT_EQ(cut->ScanLine(0)[5], indexes[5]);
    EXPECT_EQ(cut->ScanLine(5)[19], 0);
}

// Run-length data that could fill less than 1% of a large picture is
// refused before the picture is allocated; data cut short above that
// converts with the rest black.
TEST(PcxRead, DataForLessThanOnePercentOfALargePictureIsRefused)
{
    TempDir dir;
    PcxLayout l;
    l.width = 2000;
    l.height = 1000;
    const std::vector<uint8_t> file = BuildPcx(l, std::vector<uint8_t>(2000 * 1000, 9));
    auto errorOf = [&](size_t bytes) {
        testsupport::WriteBytes(dir.File("large.pcx"), {file.begin(), file.begin() + ptrdiff_t(bytes)});
        return LoadError(dir.File("large.pcx"));
    };
    EXPECT_EQ(errorOf(file.size()), "");
    EXPECT_EQ(errorOf(128 + 2000), "");  // 32 x 2000 bytes can fill 3% of the 2 MB
    EXPECT_EQ(errorOf(128 + 100), "Cannot load image. Invalid or unexpected PCX image format.");
}

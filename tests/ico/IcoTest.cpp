// Icons: real icons of every kind that ImageMagick and Pillow write, read as
// Pillow reads them; the icons Corvalin writes, read back by itself, Pillow
// and ImageMagick.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/Stream.h"
#include "formats/BitmapEx.h"
#include "formats/ico/IcoReader.h"
#include "formats/ico/IcoWriter.h"

using namespace corvalin;
using namespace testsupport;
using namespace picturetest;

namespace {

// A picture with opacity as Pillow decodes it.
struct PillowIcon {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    std::vector<std::pair<int, int>> sizes;  // the icon's sizes, largest first
};

PillowIcon PillowRgba(const std::string& path)
{
    const std::string script =
        "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
        "sizes = sorted(im.ico.sizes(), key=lambda s: -s[0] * s[1])\nim.load()\n"
        "im = im.convert('RGBA')\n"
        "print(im.size[0], im.size[1], len(sizes), *[v for s in sizes for v in s])\n"
        "sys.stdout.flush()\nsys.stdout.buffer.write(im.tobytes())\n";
    const CommandResult result = RunCommand("/usr/bin/python3 -c " + Quote(script) + " " + Quote(path));
    EXPECT_EQ(result.status, 0) << path;
    PillowIcon picture;
    const size_t end = result.output.find('\n');
    std::istringstream head(result.output.substr(0, end));
    size_t count = 0;
    head >> picture.width >> picture.height >> count;
    for (size_t i = 0; i < count; ++i) {
        int w = 0, h = 0;
        head >> w >> h;
        picture.sizes.push_back({w, h});
    }
    picture.rgba.assign(result.output.begin() + long(end) + 1, result.output.end());
    EXPECT_EQ(picture.rgba.size(), size_t(picture.width) * size_t(picture.height) * 4) << path;
    return picture;
}

uint8_t AlphaAt(const TRaster& raster, int x, int y)
{
    return raster.hasAlpha ? raster.Row(y)[4 * x + 3] : 255;
}

// Every pixel has Pillow's opacity, and every pixel that shows its colour.
void ExpectSameAsPillow(const TBitmap& picture, const PillowIcon& reference, const std::string& what)
{
    ASSERT_EQ(picture.Width(), reference.width) << what;
    ASSERT_EQ(picture.Height(), reference.height) << what;
    const TRaster& raster = *picture.Raster();
    int differing = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x) {
            const uint8_t* p = reference.rgba.data() + 4 * (size_t(y) * size_t(reference.width) + size_t(x));
            const TColor c = ReadRasterPixel(raster, x, y);
            const bool sameAlpha = AlphaAt(raster, x, y) == p[3];
            const bool sameColour = p[3] == 0 || c == RGB(p[0], p[1], p[2]);
            differing += sameAlpha && sameColour ? 0 : 1;
        }
    EXPECT_EQ(differing, 0) << what;
}

std::vector<std::pair<int, int>> SizesOf(const TPictureMetadata& metadata)
{
    std::vector<std::pair<int, int>> sizes;
    for (const TIconSize& size : metadata.iconSizes)
        sizes.push_back({size.width, size.height});
    return sizes;
}

struct IconMaker {
    const char* kind;
    bool pillow;         // a Pillow script writing to `out`, else ImageMagick's arguments before the name
    const char* recipe;
};

const IconMaker kRealIcons[] = {
    {"16 colours, 4 bits", false, "-size 32x32 gradient:red-blue -colors 16 -type Palette"},
    {"16 colours with transparent pixels", false,
     "-size 32x32 xc:none -fill red -draw 'circle 16,16 16,6' -colors 16"},
    {"256 colours, 8 bits", false, "-size 48x48 gradient:yellow-navy -colors 200 -type Palette"},
    {"2 colours, 1 bit", false,
     "-size 20x20 xc:white -fill black -draw 'rectangle 2,2 9,12' -colors 2 -type Palette"},
    {"32 bits in three sizes", false, "-size 64x64 gradient:yellow-navy -define icon:auto-resize=64,32,16"},
    {"32 bits with alpha", true,
     "im = Image.linear_gradient('L').resize((40, 40))\n"
     "rgba = Image.merge('RGBA', (im, im.rotate(90), im.rotate(180), im.rotate(270)))\n"
     "rgba.save(out, sizes=[(16, 16), (40, 40)], bitmap_format='bmp')\n"},
    // 32 pixels wide: Pillow writes the mask's rows without their padding.
    {"8-bit palette entries", true,
     "im = Image.linear_gradient('L').resize((32, 32)).convert('P')\n"
     "im.save(out, sizes=[(32, 32)], bitmap_format='bmp')\n"},
    {"PNG entries up to 256 pixels", true,
     "im = Image.linear_gradient('L').resize((256, 256))\n"
     "Image.merge('RGB', (im, im.rotate(90), im.rotate(180))).save(out, sizes=[(32, 32), (256, 256)])\n"},
};

class RealIcons : public ::testing::TestWithParam<IconMaker> {};

}  // namespace

TEST_P(RealIcons, ReadAsPillowReadsThem)
{
    const IconMaker& maker = GetParam();
    TempDir dir;
    const std::string path = dir.File("symbol.ico");
    if (maker.pillow)
        Pillow("out = " + Quote(path) + "\n" + maker.recipe);
    else
        ImageMagick(std::string(maker.recipe) + " " + Quote(path));
    const PillowIcon reference = PillowRgba(path);

    TBitmapEx picture;
    ASSERT_EQ(picture.LoadFromFileEx(path), fiIco);
    ExpectSameAsPillow(picture, reference, maker.kind);
    EXPECT_EQ(SizesOf(picture.Metadata), reference.sizes) << maker.kind;
    EXPECT_FALSE(picture.Metadata.source.damaged) << maker.kind;
}

INSTANTIATE_TEST_SUITE_P(Icons, RealIcons, ::testing::ValuesIn(kRealIcons));

namespace {

// A 2 x 2 icon or cursor of one 32-bit entry whose alpha bytes are `alpha`
// and whose AND mask marks the top-left pixel.
std::vector<uint8_t> TinyIcon(uint16_t type, uint8_t alpha)
{
    std::vector<uint8_t> file = {0, 0, uint8_t(type), 0, 1, 0, 2, 2, 0, 0, 1, 0, 32, 0};
    std::vector<uint8_t> dib = {40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 32, 0};
    dib.resize(40, 0);
    // Rows bottom up: blue, green, red, alpha.
    for (uint8_t v : {10, 20, 30, 40})
        dib.insert(dib.end(), {v, uint8_t(v + 1), uint8_t(v + 2), alpha});
    dib.insert(dib.end(), {0, 0, 0, 0, 0x80, 0, 0, 0});  // the mask's top row marks x = 0
    Put32(file, uint32_t(dib.size()), TByteOrder::LittleEndian);
    Put32(file, 22, TByteOrder::LittleEndian);
    file.insert(file.end(), dib.begin(), dib.end());
    return file;
}

std::unique_ptr<TBitmapEx> LoadBytes(const std::vector<uint8_t>& bytes)
{
    TempDir dir;
    WriteBytes(dir.File("x.ico"), bytes);
    auto picture = std::make_unique<TBitmapEx>();
    picture->LoadFromFileEx(dir.File("x.ico"));
    return picture;
}

}  // namespace

TEST(IcoReader, AlphaBytesRuleAndTheMaskOnlyWhenTheyAreAllZero)
{
    struct Case {
        uint16_t type;
        uint8_t alpha;
        std::array<uint8_t, 4> expected;  // top-left, top-right, bottom-left, bottom-right
    };
    for (const Case& c : {Case{1, 0, {0, 255, 255, 255}}, Case{2, 0, {0, 255, 255, 255}},
                          Case{1, 128, {128, 128, 128, 128}}}) {
        const auto picture = LoadBytes(TinyIcon(c.type, c.alpha));
        const TRaster& raster = *picture->Raster();
        ASSERT_TRUE(raster.hasAlpha);
        EXPECT_EQ((std::array<uint8_t, 4>{AlphaAt(raster, 0, 0), AlphaAt(raster, 1, 0), AlphaAt(raster, 0, 1),
                                          AlphaAt(raster, 1, 1)}),
                  c.expected) << "type " << c.type << " alpha " << int(c.alpha);
        EXPECT_EQ(ReadRasterPixel(raster, 0, 1), RGB(12, 11, 10));  // the first stored pixel
    }
}

TEST(IcoReader, DamageAndWhatIsNoIcon)
{
    std::vector<uint8_t> cut = TinyIcon(1, 255);
    cut.resize(cut.size() - 20);  // into the pixels
    EXPECT_TRUE(LoadBytes(cut)->Metadata.source.damaged);
    EXPECT_FALSE(LoadBytes(TinyIcon(1, 255))->Metadata.source.damaged);

    for (std::vector<uint8_t> bad : {std::vector<uint8_t>{0, 0, 1, 0, 5, 0}, std::vector<uint8_t>{0, 0, 3, 0},
                                     std::vector<uint8_t>{1, 0, 1, 0, 1, 0}}) {
        TempDir dir;
        WriteBytes(dir.File("x.ico"), bad);
        TBitmapEx picture;
        try {
            picture.LoadFromFileEx(dir.File("x.ico"));
            ADD_FAILURE() << "loaded";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Symboldatei ist ungültig");
        }
    }
}

TEST(IcoReader, BmpDataSavedUnderIcoStillLoads)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 5, 3, Noise);
    TMemoryStream bmp;
    picture.WriteBmpStream(bmp);
    WriteBytes(dir.File("alt.ico"), bmp.Bytes());
    TBitmapEx loaded;
    loaded.LoadFromFileEx(dir.File("alt.ico"));
    EXPECT_TRUE(SamePixels(loaded, picture));
}

namespace {

struct WriteCase {
    const char* layout;
    TPixelFormat format;
    bool alpha;
    int side;
};

const WriteCase kWriteCases[] = {
    {"1 bit", TPixelFormat::pf1bit, false, 32},  {"4 bits", TPixelFormat::pf4bit, false, 32},
    {"8 bits", TPixelFormat::pf8bit, false, 48}, {"24 bits", TPixelFormat::pf24bit, false, 17},
    {"32 bits with opacity", TPixelFormat::pf32bit, true, 33},
    {"256 pixels as PNG", TPixelFormat::pf24bit, false, 256},
};

class IcoWriting : public ::testing::TestWithParam<WriteCase> {};

}  // namespace

TEST_P(IcoWriting, ReadBackByItselfPillowAndImageMagick)
{
    const WriteCase& c = GetParam();
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, c.side, c.side, Noise);
    picture.ChangePixelFormat(c.format);
    if (c.alpha) {
        TRaster& raster = picture.MutableRaster();
        raster.hasAlpha = true;
        for (int y = 0; y < raster.height; ++y)
            for (int x = 0; x < raster.width; ++x)
                raster.Row(y)[4 * x + 3] = uint8_t(x * 255 / (raster.width - 1));
    }
    const std::string path = dir.File("neu.ico");
    SaveIcoFile(picture, path, 0, {});

    const PillowIcon pillow = PillowRgba(path);
    ExpectSameAsPillow(picture, pillow, c.layout);
    TBitmapEx back;
    back.LoadFromFileEx(path);
    ExpectSameAsPillow(back, pillow, c.layout);
    const RgbPicture magick = DecodeWithImageMagick(path);
    EXPECT_EQ(magick.width, c.side);
    // The last column is opaque in every layout.
    const TColor last = ReadRasterPixel(*back.Raster(), c.side - 1, 1);
    EXPECT_EQ(magick.At(c.side - 1, 1), uint32_t(RedOf(last)) << 16 | uint32_t(GreenOf(last)) << 8 | BlueOf(last))
        << c.layout;
    const std::vector<uint8_t> file = ReadBytes(path);
    const bool png = std::memcmp(file.data() + 22, "\x89PNG", 4) == 0;
    EXPECT_EQ(png, c.side == 256) << c.layout;
}

INSTANTIATE_TEST_SUITE_P(Layouts, IcoWriting, ::testing::ValuesIn(kWriteCases));

TEST(IcoWriter, KeepsTheSourceSizesThatFitAndRefusesLargerPictures)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 32, 32, Noise);
    TPictureMetadata metadata;
    metadata.iconSizes = {{48, 48}, {32, 32}, {24, 24}, {16, 16}};
    SaveIcoFile(picture, dir.File("a.ico"), 0, metadata);
    const std::vector<std::pair<int, int>> expected = {{32, 32}, {24, 24}, {16, 16}};
    EXPECT_EQ(PillowRgba(dir.File("a.ico")).sizes, expected);
    TBitmapEx back;
    back.LoadFromFileEx(dir.File("a.ico"));
    EXPECT_EQ(SizesOf(back.Metadata), expected);

    Fill(picture, 257, 10, Noise);
    try {
        SaveIcoFile(picture, dir.File("b.ico"), 0, {});
        ADD_FAILURE() << "saved";
    } catch (const EInvalidGraphic& e) {
        EXPECT_NE(e.Message().find("höchstens 256 x 256 Pixel"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.ico")));
}

// A picture from a cursor is written as a cursor whatever its name, as is
// one saved as .cur; its hot spot follows the picture's scaling in every
// entry, and reads back with it. An icon saved as .ico stays an icon.
TEST(IcoWriter, ACursorKeepsItsHotSpotScaledToEachEntry)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 32, 32, Noise);
    TPictureMetadata metadata;
    metadata.iconSizes = {{32, 32}, {16, 16}};
    TPictureMetadata cursor = metadata;
    cursor.cursorHotspot = TCursorHotspot{10, 20, 64, 64};  // read from a 64-pixel cursor
    const struct {
        const char* name;
        const TPictureMetadata& source;
        uint16_t type;
        std::array<uint16_t, 4> fields;  // per entry: hot spot or planes and depth
        const char* pillow;              // format and size as Pillow reads them
    } cases[] = {
        {"a.cur", cursor, 2, {5, 10, 2, 5}, "CUR 32 32\n"},
        {"B.CUR", cursor, 2, {5, 10, 2, 5}, "CUR 32 32\n"},
        {"cursor.ico", cursor, 2, {5, 10, 2, 5}, "CUR 32 32\n"},
        {"icon.cur", metadata, 2, {0, 0, 0, 0}, "CUR 32 32\n"},
        {"a.ico", metadata, 1, {1, 32, 1, 32}, "ICO 32 32\n"},
    };
    for (const auto& c : cases) {
        SaveIcoFile(picture, dir.File(c.name), 0, c.source);
        const std::vector<uint8_t> bytes = ReadBytes(dir.File(c.name));
        ASSERT_GT(bytes.size(), 6u + 2 * 16u) << c.name;
        EXPECT_EQ(Get16(&bytes[2], TByteOrder::LittleEndian), c.type) << c.name;
        const std::array<uint16_t, 4> fields = {
            Get16(&bytes[6 + 4], TByteOrder::LittleEndian), Get16(&bytes[6 + 6], TByteOrder::LittleEndian),
            Get16(&bytes[22 + 4], TByteOrder::LittleEndian), Get16(&bytes[22 + 6], TByteOrder::LittleEndian)};
        EXPECT_EQ(fields, c.fields) << c.name;
        const std::string script = "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nim.load()\n"
                                   "print(im.format, *im.size)\n";
        EXPECT_EQ(RunCommand("/usr/bin/python3 -c " + Quote(script) + " " + Quote(dir.File(c.name))).output, c.pillow)
            << c.name;
    }
    TBitmapEx back;
    back.LoadFromFileEx(dir.File("a.cur"));
    EXPECT_EQ(back.Metadata.cursorHotspot, (TCursorHotspot{5, 10, 32, 32}));
    back.LoadFromFileEx(dir.File("cursor.ico"));
    EXPECT_EQ(back.Metadata.cursorHotspot, (TCursorHotspot{5, 10, 32, 32}));
    back.LoadFromFileEx(dir.File("a.ico"));
    EXPECT_FALSE(back.Metadata.cursorHotspot.has_value());
}

// The stamp: its place, box, colours, opacity, size and logo as a
// conversion draws them, and the runs the program refuses.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "AppTestUtil.h"
#include "TestSupport.h"
#include "overlay/Stamp.h"
#include "overlay/StampValues.h"
#include "picture/Bitmap.h"

using namespace corvalin;
using testsupport::Quote;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr TColor kGrey = RGB(90, 90, 90);

struct TBox {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool Empty() const { return right < 0; }
};

void Flat(TBitmap& picture, int width, int height, TColor color, TPixelFormat format = TPixelFormat::pf24bit)
{
    picture.NewRaster(width, height, TPixelFormat::pf24bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.Canvas().WritePixel(x, y, color);
    if (format != TPixelFormat::pf24bit)
        picture.ChangePixelFormat(format);
}

// The bounding box of the pixels that are not `color`.
TBox ChangedBox(TBitmap& picture, TColor color)
{
    TBox box;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            if (picture.Canvas().ReadPixel(x, y) != color)
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
    return box;
}

TOverlaySnapshot TextStamp(const std::string& text, int32_t align, int32_t border)
{
    TOverlaySnapshot stamp{text, border, align, TFont{}, {}, nullptr};
    stamp.Font->Name = "DejaVu Sans";
    return stamp;
}

}  // namespace

// Each of the nine places, the box a tenth of the height (a cell exactly
// that high): the border counts from the edges the text is placed at.
TEST(Stamp, NinePlacesOnAFlatPicture)
{
    constexpr int kW = 300, kH = 200, kBorder = 7;
    for (int digit = 1; digit <= 9; ++digit) {
        TBitmap picture;
        Flat(picture, kW, kH, clBlack);
        TOverlaySnapshot stamp = TextStamp("Hamburg", *KeypadAlign(digit), kBorder);
        stamp.Style.RelativeSize = 10;
        DrawStamp(picture, stamp);
        const TBox box = ChangedBox(picture, clBlack);
        const int width = box.right - box.left + 1;
        ASSERT_EQ(box.bottom - box.top + 1, 20) << digit;
        const int column = (digit - 1) % 3, row = (digit - 1) / 3;  // row 0 is the bottom
        const int left[] = {kBorder, (kW - width) / 2, kW - kBorder - width};
        const int top[] = {kH - kBorder - 20, (kH - 20) / 2, kBorder};
        EXPECT_EQ(box.left, left[column]) << digit;
        EXPECT_EQ(box.top, top[row]) << digit;
    }
}

// Without a box only glyph pixels change: every pixel the white box shows
// unchanged (no glyph) is left alone; white text on black stays white.
TEST(Stamp, WithoutABoxOnlyTheGlyphsAreDrawn)
{
    TBitmap boxed, bare;
    Flat(boxed, 160, 60, clBlack);
    Flat(bare, 160, 60, kGrey);
    TOverlaySnapshot stamp = TextStamp("Wolke 7", kAlignTopLeft, 4);
    stamp.Font->Height = -30;
    stamp.Font->Color = RGB(255, 0, 0);  // glyph pixels neither black nor white
    DrawStamp(boxed, stamp);
    stamp.Font->Color = clWhite;
    stamp.Style.Box = kBoxNone;
    DrawStamp(bare, stamp);
    int glyph = 0, white = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 160; ++x) {
            const TColor color = bare.Canvas().ReadPixel(x, y);
            if (boxed.Canvas().ReadPixel(x, y) != clBlack && boxed.Canvas().ReadPixel(x, y) != clWhite)
                ++glyph;
            else
                ASSERT_EQ(color, kGrey) << x << "," << y;
            white += color == clWhite;
        }
    EXPECT_GT(glyph, 100);
    EXPECT_GT(white, 50);
}

// Colours, box colour and opacity on 24 bits, on 256 colours (the palette's
// nearest entries) and over transparent pixels (opaque times the opacity).
TEST(Stamp, ColourBoxColourAndOpacity)
{
    struct Case {
        TPixelFormat format;
        int32_t opacity;
        TColor box;  // expected colour of the box's pixels
    } cases[] = {
        {TPixelFormat::pf24bit, 100, RGB(0, 0, 255)},
        {TPixelFormat::pf24bit, 50, RGB(0, 0, 128)},
        {TPixelFormat::pf8bit, 100, RGB(0, 0, 255)},
        {TPixelFormat::pf8bit, 50, RGB(0, 0, 153)},  // the nearest of the halftone cube's levels
    };
    for (const Case& c : cases) {
        TBitmap picture;
        Flat(picture, 200, 80, clBlack, c.format);
        TOverlaySnapshot stamp = TextStamp("Rot", kAlignTopLeft, 10);
        stamp.Font->Height = -40;
        stamp.Font->Color = RGB(255, 0, 0);
        stamp.Style.Box = kBoxColour;
        stamp.Style.BoxColor = RGB(0, 0, 255);
        stamp.Style.Opacity = c.opacity;
        DrawStamp(picture, stamp);
        EXPECT_EQ(picture.Canvas().ReadPixel(10, 10), c.box) << c.opacity;
        EXPECT_EQ(picture.Canvas().ReadPixel(9, 10), clBlack);
        int red = 0;
        for (int y = 10; y < 60; ++y)
            for (int x = 10; x < 90; ++x)
                red += RedOf(picture.Canvas().ReadPixel(x, y)) >= (c.opacity == 100 ? 255 : 127);
        EXPECT_GT(red, 40) << c.opacity;
    }

    TBitmap clear;
    clear.NewRaster(60, 40, TPixelFormat::pf32bit).hasAlpha = true;  // all transparent
    TOverlaySnapshot stamp = TextStamp("x", kAlignTopLeft, 0);
    stamp.Style.Opacity = 50;
    DrawStamp(clear, stamp);
    const uint8_t* pixel = clear.Raster()->Row(0);
    EXPECT_EQ(pixel[3], 128);  // the white box at half opacity
    EXPECT_EQ(ReadRasterPixel(*clear.Raster(), 0, 0), clWhite);
    EXPECT_EQ(clear.Raster()->Row(39)[4 * 59 + 3], 0);
}

// The text's height follows the picture's: a tenth of 400 and of 100 rows.
TEST(Stamp, RelativeSizeFollowsThePicture)
{
    for (const auto& [width, height] : {std::pair{600, 400}, {150, 100}}) {
        TBitmap picture;
        Flat(picture, width, height, clBlack);
        TOverlaySnapshot stamp = TextStamp("Foto", kAlignBottomLeft, 0);
        stamp.Style.RelativeSize = 10;
        DrawStamp(picture, stamp);
        const TBox box = ChangedBox(picture, clBlack);
        EXPECT_EQ(box.bottom - box.top + 1, height / 10) << height;
        EXPECT_EQ(box.bottom, height - 1) << height;
    }
}

// A logo with transparent corners, a quarter of the width, bottom right:
// its corners show the picture, its middle the logo.
TEST(Stamp, LogoWithTransparentCorners)
{
    TempDir dir;
    const std::string logoFile = dir.File("logo.png");
    testsupport::Pillow(
        "from PIL import Image\n"
        "im = Image.new('RGBA', (20, 20), (0, 0, 255, 255))\n"
        "for x, y in [(0, 0), (19, 0), (0, 19), (19, 19)]:\n"
        "    im.paste((0, 0, 0, 0), (min(x, 15), min(y, 15), min(x, 15) + 5, min(y, 15) + 5))\n"
        "im.save('" +
        logoFile + "')\n");
    TBitmap picture;
    Flat(picture, 400, 200, kGrey);
    TOverlaySnapshot stamp = TextStamp("", 0, 6);
    stamp.Font.reset();
    stamp.Style.LogoSize = 25;
    stamp.Logo = TStampLogo::Load(logoFile);
    DrawStamp(picture, stamp);
    // 100 x 100 at (400 - 6 - 100, 200 - 6 - 100); each corner a 25-pixel
    // square, smoothly scaled: the points lie beyond the filter's reach of
    // the corners' edges.
    const TBox box = ChangedBox(picture, kGrey);
    EXPECT_EQ(box.left, 294);
    EXPECT_EQ(box.top, 94);
    EXPECT_EQ(box.right, 393);
    EXPECT_EQ(box.bottom, 193);
    for (const auto& [x, y] : {std::pair{294, 94}, {393, 94}, {294, 193}, {393, 193}, {306, 106}})
        EXPECT_EQ(picture.Canvas().ReadPixel(x, y), kGrey) << x << "," << y;
    EXPECT_EQ(picture.Canvas().ReadPixel(344, 94), RGB(0, 0, 255));
    EXPECT_EQ(picture.Canvas().ReadPixel(344, 144), RGB(0, 0, 255));

    // A tall logo is never taller than the picture: 50 % of 100 would be
    // 1000 rows of a 2 x 40 logo, it becomes 1 x 20.
    const std::string tallFile = dir.File("hoch.bmp");
    WriteSolidBmp(tallFile, 2, 40, RGB(0, 0, 255));
    TBitmap low;
    Flat(low, 100, 20, kGrey);
    stamp.Style.LogoSize = 50;
    stamp.Border = 0;
    stamp.Logo = TStampLogo::Load(tallFile);
    DrawStamp(low, stamp);
    const TBox tall = ChangedBox(low, kGrey);
    EXPECT_EQ(tall.top, 0);
    EXPECT_EQ(tall.bottom, 19);
    EXPECT_EQ(tall.right - tall.left + 1, 1);
}

TEST(StampValues, ColoursStylesAndRefusals)
{
    EXPECT_EQ(ParseColour("#FF8000"), RGB(255, 128, 0));
    EXPECT_EQ(ParseColour("#ff8000"), RGB(255, 128, 0));
    for (const char* bad : {"", "FF8000", "#FF800", "#FF80000", "#GG0000", "red", "#FF 000"})
        EXPECT_FALSE(ParseColour(bad)) << bad;
    EXPECT_EQ(FormatColour(RGB(1, 171, 255)), "#01ABFF");
    TFont font;
    ApplyFontStyleFlags(font, 5);
    EXPECT_TRUE(font.Bold && font.Underline && !font.Italic && !font.StrikeOut);
    EXPECT_EQ(FontStyleFlags(font), 5);

    const struct {
        void (*change)(TCopyrightText&);
        const char* named;
    } refusals[] = {
        {[](TCopyrightText& r) { r.Opacity = 0; }, "Deckkraft 0"},
        {[](TCopyrightText& r) { r.Opacity = 101; }, "Deckkraft 101"},
        {[](TCopyrightText& r) { r.RelativeSize = 51; }, "Prozent 51"},
        {[](TCopyrightText& r) { r.RelativeSize = -1; }, "Prozent -1"},
        {[](TCopyrightText& r) { r.LogoSize = 0; }, "Logobreite in Prozent 0"},
        {[](TCopyrightText& r) { r.Color = "black"; }, "\"black\""},
        {[](TCopyrightText& r) { r.Box = kBoxColour, r.BoxColor = "#12345"; }, "\"#12345\""},
    };
    EXPECT_EQ(StampRefusal(TCopyrightText{}), "");
    TCopyrightText unusedBoxColour;
    unusedBoxColour.BoxColor = "weiß";  // no coloured box: not used, not refused
    EXPECT_EQ(StampRefusal(unusedBoxColour), "");
    for (const auto& refusal : refusals) {
        TCopyrightText record;
        refusal.change(record);
        EXPECT_NE(StampRefusal(record).find(refusal.named), std::string::npos) << refusal.named;
    }
}

// Runs of the built program without a display.
class StampRun : public ::testing::Test {
protected:
    TempDir dir;
    std::string pics = dir.File("Bilder");
    std::string config = dir.File("config");

    void SetUp() override { fs::create_directories(pics); }

    int Run(const std::string& store, const std::string& switches, std::string* err = nullptr)
    {
        fs::create_directories(config + "/Corvalin");
        std::ofstream(config + "/Corvalin/Corvalin.conf") << "[Corvalin]\n" << store;
        const std::string errFile = dir.File("stderr.txt");
        const auto result = testsupport::RunCommand(
            "cd " + Quote(dir.Path()) + " && env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 XDG_CONFIG_HOME=" +
            Quote(config) + " " + Quote(CORVALIN_BINARY) + " /auto=1 " + Quote("/dir=" + pics) +
            " /recursiv=0 /copy=1 /adapt=1 /target=bmp " + switches + " 2>" + Quote(errFile));
        if (err != nullptr) {
            const auto bytes = testsupport::ReadBytes(errFile);
            err->assign(bytes.begin(), bytes.end());
        }
        return result.status;
    }
};

// The stamp as it was made before the new settings existed (generated
// once by that build): with every new value at its default the program
// still makes exactly these files.
TEST_F(StampRun, DefaultsMakeTheStampsOfBefore)
{
    const std::string data = std::string(CORVALIN_SOURCE_DIR) + "/tests/app/stamps/";
    const std::string base = "copyright=1\ncopyright_text=© Hestrad 2026\n";
    const struct {
        const char* golden;
        const char* source;
        std::string store;
        const char* switches;
    } cases[] = {
        {"stamp-bottom-left", "verlauf", base, ""},
        {"stamp-top-left", "verlauf", base + "copyright_align=5\ncopyright_border=3\n", ""},
        {"stamp-256-colours", "verlauf", base, "/colors=4"},
        {"stamp-transparent", "durchsichtig", base + "copyright_border=0\n", ""},
    };
    for (const auto& c : cases) {
        const std::string source = pics + "/" + c.source + ".png";
        fs::copy_file(data + c.source + ".png", source, fs::copy_options::overwrite_existing);
        ASSERT_EQ(Run(c.store, c.switches), 0) << c.golden;
        const std::string result = pics + "/Neu_" + c.source + ".bmp";
        EXPECT_EQ(testsupport::ReadBytes(result), testsupport::ReadBytes(data + c.golden + ".bmp")) << c.golden;
        fs::remove(result);
        fs::remove(source);
    }
}

// A value the stamp cannot use refuses the run before it starts: exit
// status 2, the value named, nothing converted.
TEST_F(StampRun, RefusedValuesConvertNothing)
{
    WriteSolidBmp(pics + "/a.bmp", 40, 30);
    testsupport::WriteBytes(dir.File("kaputt.png"), {0x89, 'P', 'N', 'G', 1, 2, 3});
    // A picture of 100000 x 100000 pixels, beyond the raster limit.
    testsupport::Pillow(
        "import struct, zlib\n"
        "def chunk(kind, data):\n"
        "    return struct.pack('>I', len(data)) + kind + data + "
        "struct.pack('>I', zlib.crc32(kind + data))\n"
        "header = struct.pack('>IIBBBBB', 100000, 100000, 8, 2, 0, 0, 0)\n"
        "open('" +
        dir.File("riesig.png") +
        "', 'wb').write(b'\\x89PNG\\r\\n\\x1a\\n' + "
        "chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(bytes(100))) + chunk(b'IEND', b''))\n");
    const struct {
        std::string store;
        std::string switches;
        const char* named;
    } cases[] = {
        {"", "/logo=fehlt.png", "fehlt.png"},
        {"", "/logo=" + dir.File("kaputt.png"), "kaputt.png"},
        {"", "/logo=" + dir.File("riesig.png"), "riesig.png"},
        {"", "/opacity=0", "/opacity=0"},
        {"", "/opacity=150", "/opacity=150"},
        {"", "/textsize=51", "/textsize=51"},
        {"", "/textpos=10", "/textpos=10"},
        {"copyright=1\ncopyright_opacity=101\n", "", "101"},
        {"copyright=1\ncopyright_relsize=80\n", "", "80"},
        {"copyright=1\ncopyright_color=rot\n", "", "\"rot\""},
        {"copyright=1\ncopyright_box=2\ncopyright_boxcolor=#12\n", "", "\"#12\""},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(Run(c.store, c.switches, &err), 2) << c.named;
        EXPECT_NE(err.find(c.named), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(pics + "/Neu_a.bmp")) << c.named;
    }
}

// "/textpos" and "/textsize" are no "/text"; "/logo" ticks "Text einfügen".
TEST_F(StampRun, SwitchesPlaceAndSizeTheStampAndTheLogo)
{
    WriteSolidBmp(pics + "/a.bmp", 200, 100, clBlack);
    WriteSolidBmp(dir.File("logo.bmp"), 10, 10, RGB(0, 255, 0));
    ASSERT_EQ(
        Run("copyright_text=Mitte\n", "/textpos=9 /textsize=20 /opacity=100 " + Quote("/logo=" + dir.File("logo.bmp"))),
        0);
    TBitmapEx result;
    result.LoadFromFileEx(pics + "/Neu_a.bmp");
    // The text "Mitte" top right, 20 rows high; the logo, 40 x 40, bottom right.
    EXPECT_EQ(result.Canvas().ReadPixel(199 - 5, 5), clWhite);
    EXPECT_EQ(result.Canvas().ReadPixel(199 - 5, 5 + 20), clBlack);
    EXPECT_EQ(result.Canvas().ReadPixel(199 - 5, 99 - 5), RGB(0, 255, 0));
    EXPECT_EQ(result.Canvas().ReadPixel(199 - 5 - 40, 99 - 5), clBlack);
}

// The stored font, size and colour reach a run without windows.
TEST_F(StampRun, StoredFontSizeAndColourAreUsed)
{
    WriteSolidBmp(pics + "/a.bmp", 200, 100, clBlack);
    ASSERT_EQ(Run("copyright=1\ncopyright_text=HH\ncopyright_font=DejaVu Sans\ncopyright_size=40\n"
                  "copyright_style=1\ncopyright_color=#FF0000\ncopyright_box=0\ncopyright_border=0\n",
                  "/textpos=7"),
              0);
    TBitmapEx result;
    result.LoadFromFileEx(pics + "/Neu_a.bmp");
    const TBox box = ChangedBox(result, clBlack);
    EXPECT_GE(box.bottom - box.top + 1, 28);  // the capitals of a 40-pixel font
    int red = 0;
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x)
            red += result.Canvas().ReadPixel(x, y) == RGB(255, 0, 0);
    EXPECT_GT(red, 100);  // two bold capitals' stems
}

// Metafile import and export: recognition and sizes, the record player on
// hand-made records, drawings made by Inkscape compared with Inkscape's own
// rendering, and exported files read back by Inkscape and libwmf.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "TestSupport.h"
#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "formats/BitmapEx.h"
#include "formats/metafile/Metafile.h"
#include "picture/Canvas.h"

namespace {

using namespace corvalin;
using namespace testsupport;

constexpr auto LE = TByteOrder::LittleEndian;
const std::string kFixtures = std::string(CORVALIN_SOURCE_DIR) + "/tests/metafile/fixtures/";
const std::string kInkscape = "/usr/bin/inkscape";

// A placeable Windows metafile built record by record; parameters are 16-bit words.
struct WmfBuilder {
    std::vector<uint8_t> records;

    void Add(uint16_t function, std::vector<uint16_t> params)
    {
        Put32(records, uint32_t(3 + params.size()), LE);
        Put16(records, function, LE);
        for (uint16_t p : params)
            Put16(records, p, LE);
    }
    std::vector<uint8_t> Bytes(int16_t right, int16_t bottom, uint16_t inch, bool goodChecksum = true) const
    {
        std::vector<uint8_t> out;
        Put32(out, 0x9AC6CDD7, LE);
        for (uint16_t v : std::initializer_list<uint16_t>{0, 0, 0, uint16_t(right), uint16_t(bottom), inch, 0, 0})
            Put16(out, v, LE);
        uint16_t sum = 0;
        for (size_t i = 0; i < 20; i += 2)
            sum ^= Get16(out.data() + i, LE);
        Put16(out, goodChecksum ? sum : uint16_t(sum ^ 1), LE);
        for (uint16_t v : std::initializer_list<uint16_t>{1, 9, 0x300})
            Put16(out, v, LE);
        Put32(out, uint32_t(9 + records.size() / 2 + 3), LE);
        Put16(out, 4, LE);
        Put32(out, 0, LE);
        Put16(out, 0, LE);
        out.insert(out.end(), records.begin(), records.end());
        for (uint16_t v : std::initializer_list<uint16_t>{3, 0, 0})
            Put16(out, v, LE);
        return out;
    }
};

// An enhanced metafile header with the given frame and reference device, then the end record.
std::vector<uint8_t> EnhancedBytes(int32_t frameRight, int32_t frameBottom, int32_t pixels, int32_t millimetres)
{
    std::vector<uint8_t> out;
    for (uint32_t v : {1u, 88u, 0u, 0u, 0u, 0u, 0u, 0u, uint32_t(frameRight), uint32_t(frameBottom), 0x464D4520u,
                       0x10000u, 108u, 2u, 0u, 0u, 0u, 0u, uint32_t(pixels), uint32_t(pixels),
                       uint32_t(millimetres), uint32_t(millimetres)})
        Put32(out, v, LE);
    for (uint32_t v : {14u, 20u, 0u, 16u, 20u})
        Put32(out, v, LE);
    return out;
}

TBitmapEx& Load(TBitmapEx& picture, const TempDir& dir, const std::vector<uint8_t>& bytes)
{
    WriteBytes(dir.File("in.wmf"), bytes);
    picture.LoadFromFileEx(dir.File("in.wmf"));
    return picture;
}

std::string LoadError(const std::vector<uint8_t>& bytes)
{
    TempDir dir;
    TBitmapEx picture;
    try {
        Load(picture, dir, bytes);
    } catch (const EInvalidGraphic& e) {
        return e.what();
    }
    return "loaded";
}

uint32_t Rgb(TBitmap& picture, int x, int y)
{
    const TColor c = picture.Canvas().ReadPixel(x, y);
    return uint32_t(RedOf(c)) << 16 | uint32_t(GreenOf(c)) << 8 | BlueOf(c);
}

// Share of pixels whose colour differs by more than tolerance in any channel.
double DifferentShare(TBitmap& picture, const RgbPicture& other, int tolerance)
{
    int differing = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const uint32_t a = Rgb(picture, x, y), b = other.At(x, y);
            for (int shift : {0, 8, 16})
                if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) {
                    ++differing;
                    break;
                }
        }
    return double(differing) / (double(picture.Width()) * picture.Height());
}

// Inkscape's rendering at the given size, or at its own (one pixel more each way) for 0.
RgbPicture RenderWithInkscape(const std::string& file, int width, int height, const TempDir& dir)
{
    const std::string png = dir.File("inkscape.png");
    const std::string size =
        width == 0 ? "" : " --export-width=" + std::to_string(width) + " --export-height=" + std::to_string(height);
    const CommandResult result = RunCommand(kInkscape + " " + Quote(file) + " --export-type=png --export-filename=" +
                                            Quote(png) + " --export-background=white --export-background-opacity=1" +
                                            size + " 2>/dev/null");
    EXPECT_EQ(result.status, 0) << "Inkscape could not render " << file;
    return DecodeWithPillow(png);
}

TEST(MetafileHeader, SizesFollowTheBoundingBoxOrTheReferenceDevice)
{
    TempDir dir;
    TBitmapEx picture;
    Load(picture, dir, WmfBuilder{}.Bytes(1440, 720, 1440));
    EXPECT_EQ(picture.Width(), 96);
    EXPECT_EQ(picture.Height(), 48);
    EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(Rgb(picture, 95, 47), 0xFFFFFFu);

    // Units per inch of 0 count as 96.
    Load(picture, dir, WmfBuilder{}.Bytes(50, 20, 0));
    EXPECT_EQ(picture.Width(), 50);
    EXPECT_EQ(picture.Height(), 20);

    // Enhanced: 2540 hundredths of a millimetre on a device of 960 pixels in 254 mm.
    Load(picture, dir, EnhancedBytes(2540, 1270, 960, 254));
    EXPECT_EQ(picture.Width(), 96);
    EXPECT_EQ(picture.Height(), 48);
}

TEST(MetafileHeader, AnythingElseIsRefusedAndLeavesThePicture)
{
    EXPECT_EQ(LoadError(WmfBuilder{}.Bytes(100, 100, 96, false)), "Metadatei ist ungültig");
    std::vector<uint8_t> plain = WmfBuilder{}.Bytes(100, 100, 96);
    plain.erase(plain.begin(), plain.begin() + 22);
    EXPECT_EQ(LoadError(plain), "Metadatei ist ungültig");
    EXPECT_EQ(LoadError({}), "Metadatei ist ungültig");
    EXPECT_EQ(LoadError(EnhancedBytes(2540, 1270, 960, 0)), "Metadatei ist ungültig");
    // A bounding box turned inside out would give a negative size.
    EXPECT_EQ(LoadError(WmfBuilder{}.Bytes(-100, 100, 96)), "Metadatei ist ungültig");

    TempDir dir;
    TBitmapEx picture;
    Load(picture, dir, WmfBuilder{}.Bytes(30, 20, 96));
    WriteBytes(dir.File("bad.wmf"), {1, 2, 3});
    EXPECT_THROW(picture.LoadFromFileEx(dir.File("bad.wmf")), EInvalidGraphic);
    EXPECT_EQ(picture.Width(), 30);
}

TEST(MetafilePlayer, DrawsShapesWithTheSelectedObjects)
{
    WmfBuilder wmf;
    wmf.Add(0x02FC, {0, 0x00FF, 0x0000, 0});   // brush: solid red
    wmf.Add(0x02FA, {5, 0, 0, 0, 0});          // pen: null
    wmf.Add(0x012D, {0});
    wmf.Add(0x012D, {1});
    wmf.Add(0x041B, {50, 50, 10, 10});         // rectangle (10,10)-(50,50)
    wmf.Add(0x01F0, {0});
    wmf.Add(0x02FC, {0, 0xFF00, 0x0000, 0});   // brush: solid green, in the freed slot 0
    wmf.Add(0x012D, {0});
    wmf.Add(0x012D, {700});                    // no such object: skipped
    wmf.Add(0x0418, {100, 100, 60, 60});       // ellipse (60,60)-(100,100)
    TempDir dir;
    TBitmapEx picture;
    Load(picture, dir, wmf.Bytes(100, 100, 96));
    EXPECT_EQ(Rgb(picture, 30, 30), 0xFF0000u);
    EXPECT_EQ(Rgb(picture, 80, 80), 0x00FF00u);
    EXPECT_EQ(Rgb(picture, 61, 61), 0xFFFFFFu);  // outside the ellipse, inside its box
    EXPECT_EQ(Rgb(picture, 5, 5), 0xFFFFFFu);
}

TEST(MetafilePlayer, WindowAndViewportMapTheLogicalUnits)
{
    // The window (0,0)-(1000,1000) fills the 100 x 100 picture.
    WmfBuilder wmf;
    wmf.Add(0x020C, {1000, 1000});
    wmf.Add(0x02FC, {0, 0x0000, 0x00FF, 0});  // blue
    wmf.Add(0x012D, {0});
    wmf.Add(0x041B, {1000, 1000, 500, 500});
    TempDir dir;
    TBitmapEx picture;
    Load(picture, dir, wmf.Bytes(100, 100, 96));
    EXPECT_EQ(Rgb(picture, 75, 75), 0x0000FFu);
    EXPECT_EQ(Rgb(picture, 45, 45), 0xFFFFFFu);
}

TEST(MetafilePlayer, TextKeepsTheBackgroundInTransparentMode)
{
    for (uint16_t mode : std::initializer_list<uint16_t>{1, 2}) {
        WmfBuilder wmf;
        wmf.Add(0x02FC, {0, 0x0000, 0x00FF, 0});    // blue brush
        wmf.Add(0x012D, {0});
        wmf.Add(0x041B, {100, 200, 0, 0});
        wmf.Add(0x02FB, {uint16_t(-40), 0, 0, 0, 700, 0, 0, 0, 0, 'A' | 'r' << 8, 'i' | 'a' << 8, 'l'});
        wmf.Add(0x012D, {1});
        wmf.Add(0x0102, {mode});                     // 1 transparent, 2 opaque
        wmf.Add(0x0521, {2, 'H' | 'H' << 8, 10, 10});  // "HH" at (10, 10)
        TempDir dir;
        TBitmapEx picture;
        Load(picture, dir, wmf.Bytes(200, 100, 96));
        int black = 0, white = 0;
        for (int y = 10; y < 50; ++y)
            for (int x = 10; x < 60; ++x) {
                black += Rgb(picture, x, y) == 0 ? 1 : 0;
                white += Rgb(picture, x, y) == 0xFFFFFF ? 1 : 0;
            }
        EXPECT_GT(black, 100) << "mode " << mode;
        if (mode == 1)
            EXPECT_EQ(white, 0);
        else
            EXPECT_GT(white, 300);
    }
}

TEST(MetafilePlayer, BrokenRecordsAreSkippedOrEndTheDrawing)
{
    WmfBuilder wmf;
    wmf.Add(0x020C, {0, 0});                             // extent 0: ignored
    wmf.Add(0x02FC, {0, 0x00FF, 0, 0});
    wmf.Add(0x012D, {0});
    wmf.Add(0x01F0, {60000});                            // no such object
    wmf.Add(0x0324, {4000, 1, 1});                       // polygon claiming 4000 points
    wmf.Add(0x041B, {0x7FFF, 0x7FFF, 0x8000, 0x8000});   // huge rectangle: the whole picture
    wmf.Add(0x02FC, {0, 0xFF00, 0, 0});
    wmf.Add(0x012D, {1});
    Put32(wmf.records, 0, LE);                           // a record of size 0 ends the drawing
    Put16(wmf.records, 0x041B, LE);
    wmf.Add(0x041B, {50, 50, 0, 0});
    TempDir dir;
    TBitmapEx picture;
    Load(picture, dir, wmf.Bytes(50, 50, 96));
    EXPECT_EQ(Rgb(picture, 25, 25), 0xFF0000u);

    // A record that claims more words than the file has ends the drawing too.
    WmfBuilder past;
    past.Add(0x041B, {50, 50, 0, 0});
    std::vector<uint8_t> bytes = past.Bytes(50, 50, 96);
    bytes[22 + 18] = 0xFF;
    bytes[22 + 19] = 0xFF;
    Load(picture, dir, bytes);
    EXPECT_EQ(Rgb(picture, 25, 25), 0xFFFFFFu);
}

// An enhanced metafile of 192 x 192 pixels (one logical unit each) with room
// for four objects and these records (type, then 32-bit fields).
std::vector<uint8_t> EnhancedDrawing(const std::vector<std::vector<int32_t>>& records)
{
    std::vector<uint8_t> out = EnhancedBytes(5080, 5080, 960, 254);
    out[56] = 4;
    std::vector<uint8_t> body;
    for (const std::vector<int32_t>& record : records) {
        Put32(body, uint32_t(record[0]), LE);
        Put32(body, uint32_t(4 + 4 * record.size()), LE);
        for (size_t i = 1; i < record.size(); ++i)
            Put32(body, uint32_t(record[i]), LE);
    }
    out.insert(out.end() - 20, body.begin(), body.end());
    return out;
}

// Figures of every kind a path takes: a long closed one, short open and
// closed ones, curves run on from a line, a rectangle.
std::vector<std::vector<int32_t>> PathFigures()
{
    std::vector<int32_t> circle{6, 0, 0, 0, 0, 3000};
    for (int i = 1; i <= 3000; ++i) {
        circle.push_back(int32_t(96 + 80 * std::cos(i * 0.0021)));
        circle.push_back(int32_t(96 + 80 * std::sin(i * 0.0031)));
    }
    return {{27, 176, 96},
            circle,
            {61},
            {27, 10, 10},
            {54, 180, 20},
            {54, 90, 150},
            {61},
            {27, 20, 170},
            {54, 60, 120},
            {5, 0, 0, 0, 0, 6, 100, 40, 300, 190, 10, 100, 160, 20, 40, 60},
            {43, 120, 120, 170, 185}};
}

TEST(MetafilePlayer, APathOnlyStrokedIsDrawnAsTheWholePathWouldBe)
{
    TempDir dir;
    auto draw = [&](const std::vector<std::vector<int32_t>>& inside, int32_t consumer) {
        std::vector<std::vector<int32_t>> records{
            {38, 1, 0x10000 | 1 | 0x2000 | 0x100, 5, 0, 0x000000}, {37, 1}, {39, 2, 1, 0, 0}, {37, 2}, {59}};
        records.insert(records.end(), inside.begin(), inside.end());
        records.insert(records.end(), {{60}, {consumer, 0, 0, 0, 0}});
        auto picture = std::make_unique<TBitmapEx>();
        Load(*picture, dir, EnhancedDrawing(records));
        return picture;
    };
    auto count = [](TBitmap& picture, uint32_t color) {
        int n = 0;
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x)
                n += Rgb(picture, x, y) == color ? 1 : 0;
        return n;
    };
    // Stroked figure by figure as drawn against kept whole and stroked (and
    // filled with the null brush) at its end.
    const auto streamed = draw(PathFigures(), 64), kept = draw(PathFigures(), 63);
    ASSERT_EQ(streamed->Width(), 192);
    EXPECT_GT(count(*kept, 0), 3000);
    int differing = 0;
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 192; ++x)
            differing += Rgb(*streamed, x, y) != Rgb(*kept, x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0);

    // A pen chosen before the path ends strokes all of it.
    std::vector<std::vector<int32_t>> repainted = PathFigures();
    repainted.insert(repainted.end(), {{38, 3, 0, 3, 0, 0x0000FF}, {37, 3}});
    const auto red = draw(repainted, 64);
    EXPECT_EQ(count(*red, 0), 0);
    EXPECT_GT(count(*red, 0xFF0000), 3000);
}

TEST(MetafileExport, WritesAPlaceableHeaderAndTheWholeRaster)
{
    TempDir dir;
    TBitmapEx picture;
    picture.SetPictureHeight(50);
    picture.SetPictureWidth(100);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            picture.Canvas().WritePixel(x, y, RGB(uint8_t(x / 20 * 60), uint8_t(y / 10 * 50), 200));
    ASSERT_EQ(picture.SaveToFileEx(dir.File("out.wmf"), 0), fiWmf);

    const std::vector<uint8_t> bytes = ReadBytes(dir.File("out.wmf"));
    ASSERT_GT(bytes.size(), 22u + 100 * 50 * 3);
    EXPECT_EQ(Get32(bytes.data(), LE), 0x9AC6CDD7u);
    const uint16_t expected[] = {0, 0, 0, 100, 50, 96};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Get16(bytes.data() + 4 + 2 * i, LE), expected[i]);
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum ^= Get16(bytes.data() + i, LE);
    EXPECT_EQ(Get16(bytes.data() + 20, LE), sum);

    TBitmapEx back;
    back.LoadFromFileEx(dir.File("out.wmf"));
    ASSERT_EQ(back.Width(), 100);
    ASSERT_EQ(back.Height(), 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(back.Canvas().ReadPixel(x, y), picture.Canvas().ReadPixel(x, y)) << x << "," << y;

    // libwmf reads the file back with the same blocks of colour (it smooths their edges).
    ASSERT_EQ(RunCommand("/usr/bin/wmf2gd -t png --maxwidth=100 --maxheight=50 --maxsize -o " +
                         Quote(dir.File("libwmf.png")) + " " + Quote(dir.File("out.wmf")) + " 2>/dev/null").status, 0);
    const RgbPicture libwmf = DecodeWithPillow(dir.File("libwmf.png"));
    ASSERT_EQ(libwmf.width, 100);
    EXPECT_LT(DifferentShare(picture, libwmf, 40), 0.15);
    EXPECT_EQ(libwmf.At(50, 25), Rgb(picture, 50, 25));

    if (!HaveTool(kInkscape))
        GTEST_SKIP() << "Inkscape is not installed";
    const RgbPicture inkscape = RenderWithInkscape(dir.File("out.wmf"), 0, 0, dir);
    ASSERT_GE(inkscape.width, 100);
    EXPECT_EQ(DifferentShare(picture, inkscape, 0), 0.0);
}

TEST(MetafileExport, RefusesSizesBeyondSixteenBits)
{
    TempDir dir;
    TBitmapEx picture;
    picture.SetPictureHeight(1);
    picture.SetPictureWidth(40000);
    EXPECT_THROW(picture.SaveToFileEx(dir.File("wide.wmf"), 0), EInvalidGraphic);
    EXPECT_FALSE(std::filesystem::exists(dir.File("wide.wmf")));
}

// Inkscape drew shapes, text and an embedded picture into both kinds of metafile.
class InkscapeDrawing : public testing::TestWithParam<const char*> {};

TEST_P(InkscapeDrawing, LooksLikeInkscapesOwnRendering)
{
    if (!HaveTool(kInkscape))
        GTEST_SKIP() << "Inkscape is not installed";
    TempDir dir;
    const std::string source = kFixtures + GetParam();
    const std::vector<uint8_t> bytes = ReadBytes(source);
    TBitmapEx picture;
    Load(picture, dir, bytes);
    ASSERT_GT(picture.Width(), 200);
    const RgbPicture reference = RenderWithInkscape(source, picture.Width(), picture.Height(), dir);
    ASSERT_EQ(reference.width, picture.Width());
    ASSERT_EQ(reference.height, picture.Height());
    // Edges, which neither side blends the same way, and the glyphs make up the rest.
    EXPECT_LT(DifferentShare(picture, reference, 48), 0.03);

    // Within each shape (positions relative to the 240 x 160 drawing).
    auto at = [&](double x, double y) {
        return Rgb(picture, int(x * picture.Width() / 240), int(y * picture.Height() / 160));
    };
    EXPECT_EQ(at(50, 35), 0xE03020u);   // rectangle
    EXPECT_EQ(at(170, 40), 0x2040D0u);  // ellipse
    EXPECT_EQ(at(60, 130), 0x20A040u);  // triangle
    EXPECT_EQ(at(160, 145), 0xF0C000u);  // half ellipse
    EXPECT_EQ(at(204, 132), 0xFFC800u);  // embedded picture, top left
    EXPECT_EQ(at(228, 148), 0x0028FFu);  // embedded picture, bottom right
}

INSTANTIATE_TEST_SUITE_P(BothKinds, InkscapeDrawing, testing::Values("drawing.wmf", "drawing.emf"));

}  // namespace

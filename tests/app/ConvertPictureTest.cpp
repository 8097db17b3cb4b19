#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include <gtest/gtest.h>

#include "AppTestUtil.h"
#include "FakeFrontEnd.h"
#include "TestSupport.h"
#include "app/ConvertPicture.h"
#include "app/Session.h"
#include "common/Exceptions.h"
#include "formats/BitmapEx.h"

using namespace corvalin;
using testsupport::TempDir;

TEST(FitTargetSize, FollowsTheTable)
{
    struct Case {
        int mode, sw, sh, w, h, tw, th;
    } cases[] = {
        {0, 1600, 1200, 400, 300, 1600, 1200},
        {1, 1000, 750, 400, 1, 400, 300},     // r = 2.5
        {2, 1000, 750, 1, 300, 400, 300},     // r = 2.5
        {3, 1200, 1600, 400, 300, 300, 400},  // r = 1200 / 300
        {4, 1600, 1200, 400, 300, 400, 300},  // r = 1600 / 400
        {4, 1200, 1600, 400, 300, 300, 400},  // orientation kept
        {1, 1000, 1, 10, 5, 10, 0},           // Trunc(0.01)
        {1, 0, 0, 400, 300, 400, 0},          // empty source: r = 1
        {3, 0, 0, 400, 300, 0, 0},
        {2, 3, 2, 7, 3, 4, 3},                // 3 / (2/3) = 4.5 -> 4
    };
    for (const Case& c : cases) {
        const TTargetSize size = FitTargetSize(c.mode, c.sw, c.sh, c.w, c.h);
        EXPECT_EQ(size.width, c.tw) << "mode " << c.mode << " " << c.sw << "x" << c.sh;
        EXPECT_EQ(size.height, c.th) << "mode " << c.mode << " " << c.sw << "x" << c.sh;
    }
}

TEST(FitTargetSize, CutsAQuotientJustBelowAWholeNumber)
{
    // 28 / (14 / 13) is 26 exactly, but the extended-precision ratio 14/13
    // is a hair too large, so the quotient lies just below 26 and is cut to
    // 25 (double precision would happen to give 26).
    EXPECT_EQ(FitTargetSize(1, 14, 28, 13, 1).height, 25);
    EXPECT_EQ(FitTargetSize(1, 15, 30, 7, 1).height, 13);
    // Plain fractions are cut, not rounded: 7 * 7 / 3 = 16.33, 3 / (2/3) = 4.5.
    EXPECT_EQ(FitTargetSize(1, 3, 7, 7, 1).height, 16);
    EXPECT_EQ(FitTargetSize(2, 3, 2, 1, 3).width, 4);
}

TEST(FitTargetSize, FailsOutsideSigned32BitsAndForNoMode)
{
    // A 1-pixel-wide picture fitted to a height of 10000 from a tiny height.
    EXPECT_THROW(FitTargetSize(2, 2000000000, 1, 1, 2), ERangeError);
    EXPECT_THROW(FitTargetSize(-1, 10, 10, 5, 5), ERangeError);
    EXPECT_THROW(FitTargetSize(5, 10, 10, 5, 5), ERangeError);
}

TEST(TruncToInt32, CutsTowardsZeroAndChecksTheRange)
{
    EXPECT_EQ(TruncToInt32(2.999999L), 2);
    EXPECT_EQ(TruncToInt32(-2.999999L), -2);
    EXPECT_EQ(TruncToInt32(2147483647.9L), 2147483647);
    EXPECT_EQ(TruncToInt32(-2147483648.9L), -2147483647 - 1);
    EXPECT_THROW(TruncToInt32(2147483648.0L), ERangeError);
    EXPECT_THROW(TruncToInt32(-2147483649.0L), ERangeError);
    EXPECT_THROW(TruncToInt32(std::nanl("")), ERangeError);
}

TEST(FileNames, CopyNameAndExtension)
{
    EXPECT_EQ(MakeCopyName("/Bilder/a.jpg"), "/Bilder/Neu_a.jpg");
    EXPECT_EQ(MakeCopyName("/Bilder/Neu_a.jpg"), "/Bilder/Neu_Neu_a.jpg");
    EXPECT_EQ(MakeCopyName("a.jpg"), "Neu_a.jpg");
    EXPECT_EQ(ReplaceExtension("/b/a.jpg", fiPng), "/b/a.png");
    EXPECT_EQ(ReplaceExtension("/b/A.BMP", fiBmp), "/b/A.bmp");
    EXPECT_EQ(ReplaceExtension("/b.d/noext", fiGif), "/b.d/noext.gif");
    EXPECT_EQ(ReplaceExtension("/b/x.tar.tif", fiJpg), "/b/x.tar.jpg");
}

TEST(GetFileSizeOf, MeasuresWithoutOpening)
{
    TempDir dir;
    EXPECT_EQ(GetFileSizeOf(dir.File("missing.bmp")), 0);
    EXPECT_EQ(GetFileSizeOf(dir.Path()), 0);
    testsupport::WriteBytes(dir.File("f.bin"), std::vector<uint8_t>(1234, 7));
    ::chmod(dir.File("f.bin").c_str(), 0444);  // write-protected files measure too
    EXPECT_EQ(GetFileSizeOf(dir.File("f.bin")), 1234);
    // A path that cannot be examined is an input/output error, not "missing".
    EXPECT_THROW(GetFileSizeOf(dir.File(std::string(300, 'n'))), EInOutError);
}

TEST(GetFileSizeOf, IsSixtyFourBit)
{
    TempDir dir;
    const std::string path = dir.File("big.bin");
    { std::FILE* f = std::fopen(path.c_str(), "wb"); std::fclose(f); }
    std::filesystem::resize_file(path, (int64_t(5) << 30) + 3);  // sparse
    EXPECT_EQ(GetFileSizeOf(path), (int64_t(5) << 30) + 3);
}

class ConvertPictureTest : public ::testing::Test {
protected:
    FakeFrontEnd frontEnd;
    TSession session{frontEnd};
    TempDir dir;

    std::string Convert(std::string path, int target, int fit, int rot, int w, int h,
                        int depth = 0, bool copy = false)
    {
        ConvertPicture(session, path, target, fit, rot, w, h, depth, 85, copy);
        return path;
    }
};

TEST_F(ConvertPictureTest, EntryTestSkipsSilently)
{
    const std::string a = dir.File("a.bmp");
    WriteSolidBmp(a, 4, 2);
    const auto bytes = testsupport::ReadBytes(a);
    EXPECT_EQ(Convert(dir.File("gone.bmp"), 0, 0, 0, 400, 300), dir.File("gone.bmp"));
    EXPECT_EQ(Convert(a, 0, 0, 1, 0, 300), a);   // width 0, even with fit mode 0
    EXPECT_EQ(Convert(a, 0, 1, 1, 400, 0), a);   // height 0 with the width-only mode
    EXPECT_EQ(Convert(a, 0, 2, 1, -5, 300), a);
    EXPECT_EQ(testsupport::ReadBytes(a), bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(ConvertPictureTest, QuarterTurnsClockwise)
{
    const std::string a = dir.File("a.bmp");
    // 4x2, every pixel its own colour.
    auto colour = [](int x, int y) { return RGB(uint8_t(40 * x + 1), uint8_t(100 * y + 1), 7); };
    WriteTestBmp(a, 4, 2, colour);

    const std::string turned = Convert(a, 0, 0, 1, 1, 1, 0, true);
    EXPECT_EQ(turned, dir.File("Neu_a.bmp"));
    TBitmapEx once;
    once.LoadFromFileEx(turned);
    ASSERT_EQ(once.Width(), 2);
    ASSERT_EQ(once.Height(), 4);
    EXPECT_EQ(once.Canvas().ReadPixel(1, 0), colour(0, 0));  // top-left ends top-right
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(once.Canvas().ReadPixel(x, y), colour(y, 1 - x));

    const std::string half = Convert(a, 0, 0, 2, 1, 1, 0, true);
    EXPECT_EQ(PixelOf(half, 0, 0), colour(3, 1));  // upside down
    EXPECT_EQ(PixelOf(half, 3, 1), colour(0, 0));

    const std::string three = Convert(a, 0, 0, 3, 1, 1, 0, true);
    EXPECT_EQ(PixelOf(three, 0, 3), colour(0, 0));  // counter-clockwise quarter turn
    EXPECT_EQ(PixelOf(three, 1, 0), colour(3, 1));
    EXPECT_EQ(frontEnd.processCalls, 0);  // the conversion never reaches into the windows
}

TEST_F(ConvertPictureTest, ScalesAndChangesDepth)
{
    const std::string a = dir.File("a.bmp");
    WriteSolidBmp(a, 100, 50, RGB(200, 10, 10));
    session.Preview = true;
    const std::string out = Convert(a, 0, 1, 0, 40, 999, 4, true);
    TBitmapEx result;
    result.LoadFromFileEx(out);
    EXPECT_EQ(result.Width(), 40);
    EXPECT_EQ(result.Height(), 20);
    EXPECT_EQ(result.PixelFormat(), TPixelFormat::pf16bit);  // 4 means 16, not 15 bits
    ASSERT_EQ(frontEnd.previewSizes.size(), 1u);
    EXPECT_EQ(frontEnd.previewSizes[0], std::make_pair(40, 20));

    session.Preview = false;
    Convert(a, 0, 0, 0, 1, 1, 0, true);
    EXPECT_EQ(frontEnd.previewSizes.size(), 1u);
    TBitmapEx same;
    same.LoadFromFileEx(dir.File("Neu_a.bmp"));
    EXPECT_EQ(same.PixelFormat(), TPixelFormat::pf24bit);
}

TEST_F(ConvertPictureTest, PhotographScalesToThePixelsOfItsWholeDecode)
{
    using testsupport::Quote;
    const std::string photo = dir.File("photo.jpg");
    ASSERT_EQ(testsupport::RunCommand("/usr/bin/convert -size 97x73 gradient:red-blue -fill yellow "
                                      "-draw 'circle 40,36 60,50' " + Quote(photo)).status, 0);
    TBitmapEx whole;
    whole.LoadFromFileEx(photo);
    whole.SaveToFileEx(dir.File("whole.bmp"), 85);
    struct Fit {
        int mode, width, height;
    };
    // Every fit mode, fewer rows and (last) more rows than the photograph.
    for (const Fit fit : {Fit{1, 40, 999}, Fit{2, 999, 30}, Fit{3, 50, 20}, Fit{4, 33, 33},
                          Fit{2, 5, 150}}) {
        const std::string fromPhoto = Convert(photo, 1, fit.mode, 0, fit.width, fit.height, 0, true);
        const std::string fromWhole =
            Convert(dir.File("whole.bmp"), 1, fit.mode, 0, fit.width, fit.height, 0, true);
        EXPECT_EQ(testsupport::ReadBytes(fromPhoto), testsupport::ReadBytes(fromWhole))
            << "fit mode " << fit.mode;
    }
}

TEST_F(ConvertPictureTest, EightBitSourceBecomesTwentyFourBit)
{
    const std::string a = dir.File("a.bmp");
    WriteSolidBmp(a, 8, 8);
    {
        TBitmapEx eight;
        eight.LoadFromFileEx(a);
        eight.ChangePixelFormat(TPixelFormat::pf8bit);
        eight.SaveToFileEx(a, 85);
    }
    TBitmapEx result;
    result.LoadFromFileEx(Convert(a, 0, 0, 0, 1, 1, 0, true));
    EXPECT_EQ(result.PixelFormat(), TPixelFormat::pf24bit);
}

TEST_F(ConvertPictureTest, StampsTheTextAtTheBottomOrTop)
{
    const std::string a = dir.File("a.bmp");
    WriteSolidBmp(a, 400, 300, clBlack);
    frontEnd.settings.TextEnabled = true;
    TFont font;  // height -11, white brush box behind the text
    session.Overlay = {"Hallo", 5, kAlignBottomLeft, &font};
    std::string out = Convert(a, 0, 0, 0, 1, 1, 0, true);
    // Bottom left: y = 300 - (5 - (-11)) = 284.
    EXPECT_EQ(PixelOf(out, 5, 284), clWhite);
    EXPECT_EQ(PixelOf(out, 5, 283), clBlack);
    EXPECT_EQ(PixelOf(out, 4, 284), clBlack);

    session.Overlay.Align = kAlignTopLeft;
    out = Convert(a, 0, 0, 0, 1, 1, 0, true);
    EXPECT_EQ(PixelOf(out, 5, 5), clWhite);
    EXPECT_EQ(PixelOf(out, 5, 4), clBlack);
    EXPECT_EQ(PixelOf(out, 5, 284), clBlack);

    // No font yet, or the box unticked: nothing is stamped.
    session.Overlay.Font = nullptr;
    out = Convert(a, 0, 0, 0, 1, 1, 0, true);
    EXPECT_EQ(PixelOf(out, 5, 5), clBlack);
    session.Overlay.Font = &font;
    frontEnd.settings.TextEnabled = false;
    out = Convert(a, 0, 0, 0, 1, 1, 0, true);
    EXPECT_EQ(PixelOf(out, 5, 5), clBlack);
}

TEST_F(ConvertPictureTest, NameAndFormatOfTheResult)
{
    const std::string a = dir.File("a.bmp");
    WriteSolidBmp(a, 10, 10);
    // Another format without a copy: written beside the source, which stays.
    const std::string ico = Convert(a, 3, 0, 0, 1, 1);
    EXPECT_EQ(ico, dir.File("a.ico"));
    EXPECT_TRUE(std::filesystem::exists(a));

    // An extension outside the ten and target format 0: fails after loading,
    // nothing written; with a copy the name already carries "Neu_".
    const std::string odd = dir.File("b.xyz");
    std::filesystem::copy_file(a, odd);
    std::string path = odd;
    EXPECT_THROW(ConvertPicture(session, path, 0, 0, 0, 1, 1, 0, 85, true), ERangeError);
    EXPECT_EQ(path, dir.File("Neu_b.xyz"));
    EXPECT_FALSE(std::filesystem::exists(path));
    path = odd;
    EXPECT_THROW(ConvertPicture(session, path, kFormatCount + 1, 0, 0, 1, 1, 0, 85, false), ERangeError);
    EXPECT_EQ(path, odd);
}

TEST_F(ConvertPictureTest, FailedInPlaceSaveKeepsTheSource)
{
    const std::string a = dir.File("a.bmp");
    WriteSolidBmp(a, 10, 10);
    const auto bytes = testsupport::ReadBytes(a);
    // The copy's name is taken by a folder, so the save cannot replace it.
    std::filesystem::create_directory(dir.File("Neu_a.bmp"));
    std::string path = a;
    EXPECT_ANY_THROW(ConvertPicture(session, path, 0, 1, 0, 5, 5, 0, 85, true));
    EXPECT_EQ(path, dir.File("Neu_a.bmp"));
    EXPECT_EQ(testsupport::ReadBytes(a), bytes);
}

TEST_F(ConvertPictureTest, CorruptPictureFailsAndKeepsTheSourcePath)
{
    const std::string a = dir.File("a.bmp");
    testsupport::WriteBytes(a, {'B', 'M', 1, 2, 3});
    std::string path = a;
    EXPECT_ANY_THROW(ConvertPicture(session, path, 0, 0, 0, 1, 1, 0, 85, true));
    EXPECT_EQ(path, a);
}

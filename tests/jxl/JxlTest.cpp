// JPEG XL against libjxl's own tools: files made by cjxl read as djxl
// decodes them, files written read back by djxl, and the distance that
// follows the Quality setting.
#include <gtest/gtest.h>

#include <filesystem>

#include "CameraChecks.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "common/MemoryBudget.h"
#include "formats/BitmapEx.h"
#include "formats/jxl/JxlFile.h"

using namespace corvalin;
using namespace camera;
using namespace testsupport;

namespace {

class JxlTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!IsUsable(FormatRow(fiJxl)))
            GTEST_SKIP() << "built without libjxl";
    }
    TempDir dir;
};

// A bare codestream of nothing but its size and the default metadata, no
// frame: the size fields with the 30-bit choice, then "all default".
std::vector<uint8_t> HeaderOnly(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> bytes{0xFF, 0x0A};
    uint64_t bits = 0;
    int used = 0;
    auto put = [&](uint64_t value, int count) {
        bits |= value << used;
        for (used += count; used >= 8; used -= 8, bits >>= 8)
            bytes.push_back(uint8_t(bits));
    };
    put(0, 1);  // not a small picture
    put(3, 2);
    put(height - 1, 30);
    put(0, 3);  // no fixed aspect ratio: the width follows
    put(3, 2);
    put(width - 1, 30);
    put(1, 1);
    if (used > 0)
        bytes.push_back(uint8_t(bits));
    return bytes;
}

// The same codestream in the container's boxes.
std::vector<uint8_t> Contained(const std::vector<uint8_t>& codestream)
{
    std::vector<uint8_t> bytes{0,   0,   0,   12, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A,
                               0,   0,   0,   20, 'f', 't', 'y', 'p', 'j',  'x',  'l',  ' ',
                               0,   0,   0,   0,  'j', 'x', 'l', ' ', 0,    0,    0,    uint8_t(8 + codestream.size()),
                               'j', 'x', 'l', 'c'};
    bytes.insert(bytes.end(), codestream.begin(), codestream.end());
    return bytes;
}

}  // namespace

// The mapping lives beside libjxl: a build without it has none to test.
TEST(JxlDistance, FollowsCjxlFrom30AndStaysContinuousBelow)
{
#ifndef CORVALIN_WITH_JXL
    GTEST_SKIP() << "built without libjxl";
#else
    const std::pair<int, float> cases[] = {{99, 0.19f}, {90, 1.0f}, {30, 6.4f}, {29, 6.6f}, {1, 12.2f}};
    for (const auto& [quality, distance] : cases)
        EXPECT_NEAR(JxlDistanceOfQuality(quality), distance, 1e-4) << quality;
#endif
}

TEST_F(JxlTest, FilesOfCjxlReadAsDjxlDecodesThem)
{
    struct Case {
        const char* source;  // how the source is made from s.png, or empty
        const char* options;
        int width, height;
        bool alpha;
        int tolerance;  // against djxl
        bool exact;     // equal to the source
    } cases[] = {
        {"", "-d 0", 301, 203, false, 0, true},
        {"", "-d 0", 1, 1, false, 0, true},
        {"", "-d 0", 17, 9, true, 0, true},
        {"", "-d 1", 64, 48, false, 1, false},
        {"", "-d 2", 33, 7, true, 1, false},
        // 16-bit samples are rounded to 8 bits, as djxl rounds them.
        {"-depth 16", "-d 0", 40, 30, false, 1, false},
        // A JPEG recompressed without loss decodes to the JPEG's pixels.
        {"-quality 85", "", 48, 32, false, 1, false},
    };
    for (const auto& c : cases) {
        const std::string png = dir.File("s.png");
        MakeSource(png, c.width, c.height, c.alpha);
        std::string source = png;
        if (std::string(c.options).empty()) {
            source = dir.File("s.jpg");
            ImageMagick(Quote(png) + " " + c.source + " " + Quote(source));
        } else if (*c.source != 0) {
            source = dir.File("s16.png");
            ImageMagick(Quote(png) + " " + c.source + " " + Quote(source));
        }
        const std::string jxl = dir.File("in.jxl");
        Tool("cjxl " + Quote(source) + " " + Quote(jxl) + " " + c.options);
        Tool("djxl " + Quote(jxl) + " " + Quote(dir.File("ref.png")) + " --bits_per_sample=8");
        TBitmapEx picture;
        size_t pictures = 0;
        ASSERT_EQ(picture.LoadFromFileEx(jxl, pictures), fiJxl) << c.options;
        EXPECT_EQ(pictures, 1u);
        EXPECT_EQ(picture.Raster()->hasAlpha, c.alpha) << c.options;
        EXPECT_LE(MaxDifference(RgbaOf(picture), DecodeRgba(dir.File("ref.png")), true), c.tolerance)
            << c.options << " " << c.width;
        if (c.exact) {
            EXPECT_EQ(MaxDifference(RgbaOf(picture), DecodeRgba(png), true), 0) << c.width;
        }
    }
}

TEST_F(JxlTest, AnAnimationGivesItsFirstPictureAndItsCount)
{
    MakeSource(dir.File("a.png"), 24, 16, false);
    ImageMagick(Quote(dir.File("a.png")) + " \\( +clone -negate \\) -set delay 10 " + Quote(dir.File("anim.gif")));
    Tool("cjxl " + Quote(dir.File("anim.gif")) + " " + Quote(dir.File("anim.jxl")) + " -d 0");
    TBitmapEx picture;
    size_t pictures = 0;
    picture.LoadFromFileEx(dir.File("anim.jxl"), pictures);
    EXPECT_EQ(pictures, 2u);
    EXPECT_LE(MaxDifference(RgbaOf(picture), DecodeRgba(dir.File("anim.gif"))), 0);
}

TEST_F(JxlTest, WrittenFilesReadBackByDjxl)
{
    MakeSource(dir.File("s.png"), 131, 67, true);
    const camera::RgbaPicture source = DecodeRgba(dir.File("s.png"));
    for (bool alpha : {false, true}) {
        TBitmapEx picture;
        Adopt(picture, source, alpha);
        uintmax_t sizes[3] = {};
        int i = 0;
        for (int quality : {100, 90, 40}) {
            const std::string out = dir.File("q" + std::to_string(quality) + ".jxl");
            ASSERT_EQ(picture.SaveToFileEx(out, quality), fiJxl);
            Tool("djxl " + Quote(out) + " " + Quote(out + ".png") + " --bits_per_sample=8");
            const camera::RgbaPicture decoded = DecodeRgba(out + ".png");
            if (quality == 100) {
                EXPECT_EQ(MaxDifference(decoded, RgbaOf(picture), true), 0) << alpha;
            } else {
                EXPECT_GE(Psnr(decoded, RgbaOf(picture)), quality == 90 ? 32 : 26) << quality;
                EXPECT_LE(MaxDifference(camera::RgbaPicture{1, int(decoded.rgba.size() / 4), AlphaOf(decoded)},
                                        camera::RgbaPicture{1, int(decoded.rgba.size() / 4), AlphaOf(RgbaOf(picture))}),
                          quality == 90 ? 24 : 64);
            }
            sizes[i++] = std::filesystem::file_size(out);
        }
        EXPECT_LT(sizes[2], sizes[1]) << alpha;
    }
}

// A file of a few bytes that declares a huge picture fails with a reason
// before the picture is allocated: the memory budget sees no block taken.
TEST_F(JxlTest, AHugeDeclaredPictureWithoutPixelsFailsBeforeAllocation)
{
    const struct {
        uint32_t width, height;
        bool contained;
        const char* reason;
    } cases[] = {
        {23000, 23000, false, "Ungültige JPEG-XL-Datei"},  // 1.6 GB, within the raster limit
        {23000, 23000, true, "Ungültige JPEG-XL-Datei"},
        {26000, 26000, false, "Systemressourcen erschöpft."},  // beyond the raster limit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + (c.contained ? " in boxes" : ""));
        const std::vector<uint8_t> codestream = HeaderOnly(c.width, c.height);
        WriteBytes(dir.File("huge.jxl"), c.contained ? Contained(codestream) : codestream);
        TMemoryBudget budget(uint64_t(8) << 30);
        TMemoryAccount account(budget, budget.NextFileOrder());
        TAccountScope scope(&account);
        TBitmapEx picture;
        try {
            picture.LoadFromFileEx(dir.File("huge.jxl"));
            ADD_FAILURE() << "loaded";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), c.reason);
        }
        EXPECT_LT(budget.Peak(), uint64_t(1) << 20);
        EXPECT_EQ(picture.Width(), 0);
    }
}

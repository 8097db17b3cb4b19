// What the JPEG XL reader reports of the file for the in-place guard (the
// samples' depth, lossless coding, the pictures), and the work and memory
// it refuses before libjxl takes them.
#include <gtest/gtest.h>

#include <filesystem>

#include "CameraChecks.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "common/MemoryBudget.h"
#include "formats/BitmapEx.h"

using namespace corvalin;
using namespace camera;
using namespace testsupport;

namespace {

// A gradient of 16-bit samples.
constexpr const char* kDeep = "im:-size 40x30 gradient:red-blue -depth 16";

class JxlSourceTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!IsUsable(FormatRow(fiJxl)))
            GTEST_SKIP() << "built without libjxl";
    }
    // A JPEG XL made by cjxl from a test picture (MakeSource), from what
    // ImageMagick makes of `source` ("im:" its arguments), or from a JPEG of
    // the test picture ("jpg").
    std::string Make(const std::string& name, bool alpha, const std::string& source, const std::string& cjxlOptions)
    {
        std::string input = dir.File("s.png");
        if (source.starts_with("im:")) {
            ImageMagick(source.substr(3) + " " + Quote(input));
        } else {
            MakeSource(input, 40, 30, alpha);
            if (source == "jpg") {
                input = dir.File("s.jpg");
                ImageMagick(Quote(dir.File("s.png")) + " -quality 85 " + Quote(input));
            }
        }
        const std::string jxl = dir.File(name);
        Tool("cjxl " + Quote(input) + " " + Quote(jxl) + " " + cjxlOptions);
        return jxl;
    }
    // Zero-duration frames of 8 x 8 (red and blue in turn, or Pillow would
    // merge them), composed into one picture.
    std::string Layered(size_t layers)
    {
        const std::string gif = dir.File("layers.gif"), jxl = dir.File("layers.jxl");
        Pillow("frames = [Image.new('RGB', (8, 8), (255 * (i % 2), 0, 255 * (1 - i % 2))) for i in range(" +
               std::to_string(layers) + ")]\nframes[0].save(" + Quote(gif) +
               ", save_all=True, append_images=frames[1:], duration=0, loop=0)");
        Tool("cjxl " + Quote(gif) + " " + Quote(jxl) + " -d 0 -e 1");
        return jxl;
    }
    TempDir dir;
};

}  // namespace

TEST_F(JxlSourceTest, ReportsDepthAndLosslessCoding)
{
    const struct {
        bool alpha;
        const char* source;
        const char* cjxl;
        uint8_t bits;
        bool lossless;
    } cases[] = {
        {false, "", "-d 0", 8, true},
        {true, "", "-d 0", 8, true},
        {false, kDeep, "-d 0", 16, true},
        {false, "", "-d 1", 8, false},
        {true, "", "-d 1", 8, false},
        {false, "", "-m 1 -d 1", 8, false},
        // A JPEG recompressed without loss holds the JPEG's lossy pixels.
        {false, "jpg", "", 8, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " " + c.cjxl + (c.alpha ? " alpha" : ""));
        TBitmapEx picture;
        size_t pictures = 0;
        ASSERT_EQ(picture.LoadFromFileEx(Make("r.jxl", c.alpha, c.source, c.cjxl), pictures), fiJxl);
        EXPECT_EQ(pictures, 1u);
        EXPECT_EQ(picture.Metadata.source.bitsPerSample, c.bits);
        EXPECT_EQ(picture.Metadata.source.lossless, c.lossless);
    }
}

// A frame composed of a few hundred layers is read; beyond 256 it is refused
// before libjxl blends them (1,000 took 42 s); such a file is one picture.
TEST_F(JxlSourceTest, AFrameOfTooManyLayersIsRefused)
{
    for (const size_t layers : {200u, 257u}) {
        TBitmapEx picture;
        size_t pictures = 0;
        const std::string file = Layered(layers);
        if (layers <= 256) {
            ASSERT_EQ(picture.LoadFromFileEx(file, pictures), fiJxl);
            EXPECT_EQ(pictures, 1u);
            EXPECT_EQ(picture.Width(), 8);
        } else {
            EXPECT_THROW(picture.LoadFromFileEx(file, pictures), EOutOfResources);
        }
    }
}

// What libjxl decodes by itself (every channel as a plane of 4-byte samples)
// is charged before it runs: a lossless picture whose raster fits the budget
// but whose planes beside it do not fails at once, within the budget.
TEST_F(JxlSourceTest, TheLibrarysPlanesAreChargedBeforeDecoding)
{
    ImageMagick("-size 2000x2000 xc:orange " + Quote(dir.File("flat.png")));
    Tool("cjxl " + Quote(dir.File("flat.png")) + " " + Quote(dir.File("flat.jxl")) + " -d 0 -e 1");
    for (const uint64_t megabytes : {40u, 80u}) {
        // 2000 x 2000: a 12 MB raster, 48 MB of planes.
        TMemoryBudget budget(megabytes << 20);
        TMemoryAccount account(budget, budget.NextFileOrder());
        TAccountScope scope(&account);
        TBitmapEx picture;
        if (megabytes < 60) {
            EXPECT_THROW(picture.LoadFromFileEx(dir.File("flat.jxl")), EOutOfResources);
            EXPECT_LT(budget.Peak(), uint64_t(1) << 20);  // the decoder's own state
        } else {
            picture.LoadFromFileEx(dir.File("flat.jxl"));
            EXPECT_EQ(picture.Width(), 2000);
            EXPECT_GE(budget.Peak(), uint64_t(60000000));  // the planes and the raster
        }
    }
}

// In place with the format kept and a smaller size, a deeper or animated
// JPEG XL stays as it was, with its reason; the run says it failed.
TEST_F(JxlSourceTest, InPlaceRunsKeepDeepAndAnimatedFiles)
{
    const std::string pics = dir.File("pics");
    std::filesystem::create_directory(pics);
    const struct {
        const char* name;
        const char* reason;
    } cases[] = {{"tief.jxl", "16 Bit je Farbwert"}, {"animiert.jxl", "Die Datei enthält 2 Bilder"}};
    std::filesystem::rename(Make("t.jxl", false, kDeep, "-d 0"), pics + "/tief.jxl");
    MakeSource(dir.File("a.png"), 24, 16, false);
    ImageMagick(Quote(dir.File("a.png")) + " \\( +clone -negate \\) -set delay 10 " + Quote(dir.File("a.gif")));
    Tool("cjxl " + Quote(dir.File("a.gif")) + " " + Quote(pics + "/animiert.jxl") + " -d 0");
    std::map<std::string, std::vector<uint8_t>> before;
    for (const auto& c : cases)
        before[c.name] = ReadBytes(pics + "/" + c.name);
    const CommandResult run = RunCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 XDG_CONFIG_HOME=" + Quote(dir.Path()) + " " +
        Quote(CORVALIN_BINARY) + " /auto=1 /dir=" + Quote(pics) + " /recursiv=0 /copy=0 /format=1 /colors=1 /adapt=5 " +
        "/width=12 /height=12 2>" + Quote(dir.File("err.txt")));
    const std::vector<uint8_t> errBytes = ReadBytes(dir.File("err.txt"));
    const std::string err(errBytes.begin(), errBytes.end());
    EXPECT_EQ(run.status, 1) << err;
    for (const auto& c : cases) {
        EXPECT_EQ(ReadBytes(pics + "/" + c.name), before[c.name]) << c.name;
        // Long paths are shortened at their start.
        const size_t at = err.find("/pics/" + std::string(c.name));
        ASSERT_NE(at, std::string::npos) << c.name << "\n" << err;
        EXPECT_NE(err.substr(at, err.find('\n', at) - at).find(c.reason), std::string::npos) << err;
    }
}

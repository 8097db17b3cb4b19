// What the WebP reader reports of the file for the in-place guard (lossless
// coding, the pictures), and the memory an animation's first frame takes.
#include <gtest/gtest.h>

#include "CameraChecks.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "common/MemoryBudget.h"
#include "formats/BitmapEx.h"

using namespace corvalin;
using namespace camera;
using namespace testsupport;

namespace {

class WebpSourceTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!IsUsable(FormatRow(fiWebp)))
            GTEST_SKIP() << "built without libwebp";
    }
    TempDir dir;
};

// A two-frame animation of 8 x 8 whose canvas is declared side x side.
std::vector<uint8_t> AnimationOnCanvas(const TempDir& dir, uint32_t side)
{
    MakeSource(dir.File("a.png"), 8, 8, false);
    ImageMagick(Quote(dir.File("a.png")) + " -negate " + Quote(dir.File("b.png")));
    Tool("img2webp -lossless " + Quote(dir.File("a.png")) + " " + Quote(dir.File("b.png")) + " -o " +
         Quote(dir.File("anim.webp")));
    std::vector<uint8_t> bytes = ReadBytes(dir.File("anim.webp"));
    // VP8X's canvas: 24-bit width - 1 and height - 1 at bytes 24 and 27.
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "VP8X");
    for (size_t at : {24u, 27u})
        for (int i = 0; i < 3; ++i)
            bytes[at + i] = uint8_t((side - 1) >> (8 * i));
    return bytes;
}

}  // namespace

TEST_F(WebpSourceTest, ReportsLosslessCoding)
{
    const struct {
        const char* encoder;  // given the source, and its negative for an animation
        bool alpha;
        bool animated;
        bool lossless;
    } cases[] = {
        {"cwebp -lossless", false, false, true},   {"cwebp -lossless -exact", true, false, true},
        {"cwebp -q 80", false, false, false},      {"cwebp -q 80", true, false, false},
        {"img2webp -lossless", false, true, true}, {"img2webp -lossy", false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.encoder) + (c.alpha ? " alpha" : ""));
        const std::string source = dir.File("s.png"), negated = dir.File("n.png"), webp = dir.File("in.webp");
        MakeSource(source, 40, 30, c.alpha);
        ImageMagick(Quote(source) + " -negate " + Quote(negated));
        Tool(std::string(c.encoder) + " " + Quote(source) + (c.animated ? " " + Quote(negated) : "") + " -o " +
             Quote(webp));
        TBitmapEx picture;
        size_t pictures = 0;
        ASSERT_EQ(picture.LoadFromFileEx(webp, pictures), fiWebp);
        EXPECT_EQ(pictures, c.animated ? 2u : 1u);
        EXPECT_EQ(picture.Metadata.source.lossless, c.lossless);
    }
}

// A few bytes declaring a 6000 x 6000 canvas: the first frame is composed on
// the raster itself (144 MB), without the animation decoder's two canvases
// of the same size; within a budget below the raster it fails at once.
TEST_F(WebpSourceTest, AnAnimationsFirstFrameTakesOnlyItsRaster)
{
    WriteBytes(dir.File("wide.webp"), AnimationOnCanvas(dir, 6000));
    for (const uint64_t megabytes : {100u, 400u}) {
        const ChildRun run = RunInChild([&] {
            TMemoryBudget budget(megabytes << 20);
            TMemoryAccount account(budget, budget.NextFileOrder());
            TAccountScope scope(&account);
            try {
                TBitmapEx picture;
                picture.LoadFromFileEx(dir.File("wide.webp"));
                return picture.Width() == 6000 && picture.Raster()->Row(5999)[3] == 0 ? 0 : 1;
            } catch (const EOutOfResources&) {
                return 2;
            }
        });
        EXPECT_EQ(run.status, megabytes < 144 ? 2 : 0) << megabytes;
        EXPECT_LT(run.peakKb, (megabytes < 144 ? 64 : 144 + 64) * 1024) << megabytes;
    }
}

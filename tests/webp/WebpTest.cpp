// WebP against libwebp's own tools: files made by cwebp and img2webp read,
// files written read back by dwebp, chunks of metadata both ways.
#include <gtest/gtest.h>

#include <filesystem>

#include "CameraChecks.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "formats/BitmapEx.h"
#include "formats/metadata/MetadataBlocks.h"

using namespace corvalin;
using namespace camera;
using namespace testsupport;

namespace {

class WebpTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!IsUsable(FormatRow(fiWebp)))
            GTEST_SKIP() << "built without libwebp";
    }
    TempDir dir;
};

struct ReadCase {
    const char* encoder;  // cwebp options
    int width, height;
    bool alpha;
    int tolerance;  // against dwebp's decode
};

// An Exif block with the orientation 6 ("turn right"), and an XMP packet.
const std::vector<uint8_t> kExifTurnRight = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                                             0,   1,   0,  0, 0, 6, 0, 0, 0, 0, 0,    0,    0};
const std::string kXmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF/></x:xmpmeta>";

}  // namespace

TEST_F(WebpTest, FilesOfCwebpReadAsDwebpDecodesThem)
{
    const ReadCase cases[] = {
        {"-lossless", 301, 203, false, 0}, {"-lossless", 1, 1, false, 0}, {"-lossless -exact", 17, 5, true, 0},
        {"-q 75", 301, 203, false, 1},     {"-q 40", 33, 7, true, 1},
    };
    for (const ReadCase& c : cases) {
        const std::string source = dir.File("source.png"), webp = dir.File("in.webp");
        MakeSource(source, c.width, c.height, c.alpha);
        Tool(std::string("cwebp ") + c.encoder + " " + Quote(source) + " -o " + Quote(webp));
        Tool("dwebp " + Quote(webp) + " -o " + Quote(dir.File("ref.png")));
        TBitmapEx picture;
        size_t pictures = 0;
        ASSERT_EQ(picture.LoadFromFileEx(webp, pictures), fiWebp) << c.encoder;
        EXPECT_EQ(pictures, 1u);
        EXPECT_EQ(picture.Raster()->hasAlpha, c.alpha) << c.encoder;
        EXPECT_LE(MaxDifference(RgbaOf(picture), DecodeRgba(dir.File("ref.png")), true), c.tolerance)
            << c.encoder << " " << c.width << "x" << c.height;
        if (c.tolerance == 0) {
            EXPECT_EQ(MaxDifference(RgbaOf(picture), DecodeRgba(source), true), 0) << c.width;
        }
    }
}

TEST_F(WebpTest, AnAnimationGivesItsFirstPictureAndItsCount)
{
    MakeSource(dir.File("a.png"), 40, 30, false);
    ImageMagick(Quote(dir.File("a.png")) + " -negate " + Quote(dir.File("b.png")));
    Tool("img2webp -lossless " + Quote(dir.File("a.png")) + " " + Quote(dir.File("b.png")) + " " +
         Quote(dir.File("a.png")) + " -o " + Quote(dir.File("anim.webp")));
    TBitmapEx picture;
    size_t pictures = 0;
    picture.LoadFromFileEx(dir.File("anim.webp"), pictures);
    EXPECT_EQ(pictures, 3u);
    EXPECT_EQ(MaxDifference(RgbaOf(picture), DecodeRgba(dir.File("a.png"))), 0);
}

TEST_F(WebpTest, ChunksOfMetadataAreReadAndWritten)
{
    MakeSource(dir.File("s.png"), 20, 10, false);
    WriteBytes(dir.File("exif.bin"), kExifTurnRight);
    WriteBytes(dir.File("xmp.xml"), std::vector<uint8_t>(kXmp.begin(), kXmp.end()));
    Tool("cwebp -q 80 " + Quote(dir.File("s.png")) + " -o " + Quote(dir.File("plain.webp")));
    Tool("webpmux -set exif " + Quote(dir.File("exif.bin")) + " " + Quote(dir.File("plain.webp")) + " -o " +
         Quote(dir.File("e.webp")));
    Tool("webpmux -set xmp " + Quote(dir.File("xmp.xml")) + " " + Quote(dir.File("e.webp")) + " -o " +
         Quote(dir.File("ex.webp")));
    TBitmapEx picture;
    picture.LoadFromFileEx(dir.File("ex.webp"));
    // WebP does not turn pictures: its Exif orientation stays for the reader.
    EXPECT_EQ(ExifBlockForPicture(picture.Metadata, 20, 10, false)[18], 6);
    const auto xmp = XmpPacketOf(picture.Metadata);
    EXPECT_EQ(std::string(xmp.begin(), xmp.end()), kXmp);

    picture.SaveToFileEx(dir.File("out.webp"), 70);
    const CommandResult tags = RunCommand("exiftool -s -s -s -Orientation# -ImageWidth " + Quote(dir.File("out.webp")));
    EXPECT_EQ(tags.output, "6\n20\n");
    Tool("webpmux -get xmp " + Quote(dir.File("out.webp")) + " -o " + Quote(dir.File("back.xml")));
    EXPECT_EQ(ReadBytes(dir.File("back.xml")), std::vector<uint8_t>(kXmp.begin(), kXmp.end()));
}

TEST_F(WebpTest, WrittenFilesReadBackByDwebp)
{
    MakeSource(dir.File("s.png"), 123, 77, true);
    TBitmapEx picture;
    Adopt(picture, DecodeRgba(dir.File("s.png")), true);
    struct Case {
        int quality;
        double minPsnr;
    } cases[] = {{100, 99}, {90, 34}, {30, 26}};
    uintmax_t lossySize = UINTMAX_MAX;
    for (const Case& c : cases) {
        const std::string out = dir.File("q" + std::to_string(c.quality) + ".webp");
        ASSERT_EQ(picture.SaveToFileEx(out, c.quality), fiWebp);
        Tool("dwebp " + Quote(out) + " -o " + Quote(out + ".png"));
        const camera::RgbaPicture decoded = DecodeRgba(out + ".png");
        EXPECT_GE(Psnr(decoded, RgbaOf(picture)), c.minPsnr) << c.quality;
        if (c.quality < 100) {
            EXPECT_LT(std::filesystem::file_size(out), lossySize) << c.quality;
            lossySize = std::filesystem::file_size(out);
        }
        // Opacity is kept losslessly by both ways of writing.
        EXPECT_EQ(AlphaOf(decoded), AlphaOf(RgbaOf(picture))) << c.quality;
    }
    EXPECT_THROW(picture.SaveToFileEx(dir.File("bad.webp"), 0), ERangeError);
}

TEST_F(WebpTest, AHugeDeclaredCanvasIsRefusedBeforeDecoding)
{
    MakeSource(dir.File("a.png"), 8, 8, false);
    ImageMagick(Quote(dir.File("a.png")) + " -negate " + Quote(dir.File("b.png")));
    Tool("img2webp -lossless " + Quote(dir.File("a.png")) + " " + Quote(dir.File("b.png")) + " -o " +
         Quote(dir.File("anim.webp")));
    std::vector<uint8_t> bytes = ReadBytes(dir.File("anim.webp"));
    // VP8X's canvas: 24-bit width - 1 and height - 1 at bytes 24 and 27.
    ASSERT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "VP8X");
    for (size_t at : {24u, 27u}) {
        bytes[at] = 0xFE;
        bytes[at + 1] = 0xFF;
        bytes[at + 2] = 0;
    }
    WriteBytes(dir.File("huge.webp"), bytes);
    TBitmapEx picture;
    EXPECT_THROW(picture.LoadFromFileEx(dir.File("huge.webp")), EOutOfResources);
    WriteBytes(dir.File("cut.webp"), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 30));
    EXPECT_THROW(picture.LoadFromFileEx(dir.File("cut.webp")), EInvalidGraphic);
}

// A lossy still whose frame header is changed to 16383 x 16383 holds data
// for one macroblock: the load fails without touching the 800 MB that the
// declared picture would take.
TEST_F(WebpTest, AHugeFrameWithLittleDataFailsWithoutItsMemory)
{
    MakeSource(dir.File("a.png"), 16, 16, false);
    Tool("cwebp -quiet -q 80 " + Quote(dir.File("a.png")) + " -o " + Quote(dir.File("a.webp")));
    std::vector<uint8_t> bytes = ReadBytes(dir.File("a.webp"));
    // The frame header: width and height (14 bits, little-endian) after the start code.
    ASSERT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "VP8 ");
    ASSERT_EQ(bytes[23], 0x9D);
    for (size_t at : {26u, 28u}) {
        bytes[at] = 0xFF;
        bytes[at + 1] = 0x3F;
    }
    WriteBytes(dir.File("huge.webp"), bytes);
    const ChildRun run = RunInChild([&] {
        try {
            TBitmapEx picture;
            picture.LoadFromFileEx(dir.File("huge.webp"));
        } catch (const EInvalidGraphic&) {
            return 0;
        }
        return 1;
    });
    EXPECT_EQ(run.status, 0);
    EXPECT_LT(run.peakKb, 300 * 1024) << "peak KB";
}

// An opaque still picture is decoded reduced as libwebp's own tool scales
// it; an animation and a picture with opacity come whole.
TEST_F(WebpTest, OpaqueStillsAreDecodedReducedAsDwebpScalesThem)
{
    const struct {
        const char* encoder;
        bool alpha;
        int32_t allowed;
        int width, height;  // as delivered
    } cases[] = {
        {"-q 80", false, 3, 101, 68},
        {"-lossless", false, 2, 151, 102},
        {"-q 80", false, 1, 301, 203},
        {"-q 80", true, 3, 301, 203},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.encoder) + " " + std::to_string(c.allowed));
        const std::string source = dir.File("source.png"), webp = dir.File("in.webp");
        MakeSource(source, 301, 203, c.alpha);
        Tool(std::string("cwebp ") + c.encoder + " " + Quote(source) + " -o " + Quote(webp));
        const std::string scale =
            c.width == 301 ? "" : " -scale " + std::to_string(c.width) + " " + std::to_string(c.height);
        Tool("dwebp " + Quote(webp) + scale + " -o " + Quote(dir.File("ref.png")));
        TBitmapEx picture;
        size_t pictures = 0;
        picture.LoadFromFileEx(webp, pictures, TReductionRequest{[&](int32_t, int32_t) { return c.allowed; }});
        EXPECT_EQ(picture.Width(), c.width);
        EXPECT_EQ(picture.Height(), c.height);
        EXPECT_EQ(MaxDifference(RgbaOf(picture), DecodeRgba(dir.File("ref.png")), true), 0);
    }
}

// Nearest scaling takes only some rows: an opaque lossy still gives just
// those, turned into colour from its planes, as the whole picture has them
// (within a level of rounding); other pictures are not asked and come whole.
TEST_F(WebpTest, RowsSampledFromThePlanesAreTheWholePicturesRows)
{
    const struct {
        const char* encoder;  // given the source, then its negative for an animation
        bool twice;
        int width, height;
        bool alpha;
        bool sampled;
    } cases[] = {
        {"cwebp -q 80", false, 301, 203, false, true},      {"cwebp -q 80", false, 64, 31, false, true},
        {"cwebp -lossless", false, 301, 203, false, false}, {"cwebp -q 80", false, 301, 203, true, false},
        {"img2webp -lossy", true, 301, 203, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.encoder) + " " + std::to_string(c.height));
        const std::string source = dir.File("s.png"), webp = dir.File("in.webp");
        MakeSource(source, c.width, c.height, c.alpha);
        const std::string negated = dir.File("negated.png");
        if (c.twice)
            ImageMagick(Quote(source) + " -negate " + Quote(negated));
        Tool(std::string(c.encoder) + " " + Quote(source) + (c.twice ? " " + Quote(negated) : "") + " -o " +
             Quote(webp));
        TBitmapEx whole, sampled;
        size_t pictures = 0;
        whole.LoadFromFileEx(webp);
        bool asked = false;
        sampled.LoadFromFileEx(webp, pictures, TRowRequest{[&](int32_t width, int32_t height) {
                                   asked = true;
                                   EXPECT_EQ(width, c.width);
                                   EXPECT_EQ(height, c.height);
                                   return 17;
                               }});
        EXPECT_EQ(asked, c.sampled);
        ASSERT_EQ(sampled.Height(), c.sampled ? 17 : c.height);
        EXPECT_LE(MaxSampledRowDifference(RgbaOf(whole), RgbaOf(sampled)), c.sampled ? 1 : 0);
    }
}

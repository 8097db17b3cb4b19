// HEIC and AVIF against the reference tools: files made by heif-enc and
// avifenc read as heif-convert and avifdec decode them, files written read
// back by them, the container's turn applied and the Exif orientation upright.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "CameraChecks.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "formats/BitmapEx.h"
#include "formats/metadata/MetadataBlocks.h"

using namespace corvalin;
using namespace camera;
using namespace testsupport;

namespace {

class HeifTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!IsUsable(FormatRow(fiHeic)))
            GTEST_SKIP() << "built without libheif";
    }
    // s.heic, made by heif-enc from a picture of this size: its bytes, and
    // where its box of this name begins.
    std::vector<uint8_t> SmallHeic(int width, int height, const char* box, size_t& at)
    {
        MakeSource(dir.File("s.png"), width, height, false);
        Tool("heif-enc -q 50 " + Quote(dir.File("s.png")) + " -o " + Quote(dir.File("s.heic")));
        std::vector<uint8_t> bytes = ReadBytes(dir.File("s.heic"));
        at = std::string(bytes.begin(), bytes.end()).find(box);
        return bytes;
    }
    TempDir dir;
};

struct ReadCase {
    const char* encode;  // the command, SRC and OUT standing for the files
    const char* file;
    const char* reference;  // the decoding command, IN and PNG standing for the files
    int width, height;
    bool alpha;
    int tolerance;
    double minPsnr;  // against the source, for the unturned pictures
};

std::string Filled(std::string command, const std::map<std::string, std::string>& names)
{
    for (const auto& [name, value] : names)
        for (size_t at; (at = command.find(name)) != std::string::npos;)
            command.replace(at, name.size(), Quote(value));
    return command;
}

}  // namespace

TEST_F(HeifTest, FilesOfTheReferenceEncodersReadAsTheReferenceDecodersShowThem)
{
    const ReadCase cases[] = {
        {"heif-enc -q 90 SRC -o OUT", "a.heic", "heif-convert IN PNG", 301, 203, false, 1, 30},
        // Tiny pictures with sharp edges suffer from the halved chroma.
        {"heif-enc -q 90 SRC -o OUT", "odd.heic", "heif-convert IN PNG", 5, 3, false, 1, 15},
        {"heif-enc -q 90 SRC -o OUT", "alpha.heic", "heif-convert IN PNG", 64, 48, true, 1, 30},
        // Planes of other chroma layouts and depths, and a picture of many
        // rows decoded on several threads.
        {"heif-enc -q 90 -p chroma=444 SRC -o OUT", "full.heic", "heif-convert IN PNG", 301, 203, false, 1, 30},
        {"heif-enc -q 90 -p chroma=422 SRC -o OUT", "half.heic", "heif-convert IN PNG", 301, 203, false, 1, 30},
        {"/usr/bin/convert SRC -depth 16 PNG48:OUT.png && heif-enc -q 90 -b 10 OUT.png -o OUT", "deep.heic",
         "heif-convert IN PNG", 301, 203, false, 1, 30},
        {"heif-enc -q 90 -p x265:ctu=16 SRC -o OUT", "rows.heic", "heif-convert IN PNG", 301, 203, false, 1, 30},
        {"avifenc -s 8 SRC OUT", "a.avif", "avifdec IN PNG", 99, 61, false, 2, 30},
        {"avifenc -s 8 -d 10 SRC OUT", "deep.avif", "avifdec -d 8 IN PNG", 64, 40, true, 2, 30},
        {"avifenc -s 8 -d 12 -l SRC OUT", "deep12.avif", "avifdec -d 8 IN PNG", 31, 17, false, 2, 30},
        // The container turns the picture a quarter anticlockwise and mirrors it.
        {"avifenc -s 8 --irot 1 --imir 0 SRC OUT", "turned.avif", "heif-convert IN PNG", 40, 24, false, 2, 0},
    };
    for (const ReadCase& c : cases) {
        const std::string source = dir.File("s.png"), file = dir.File(c.file), png = dir.File("ref.png");
        MakeSource(source, c.width, c.height, c.alpha);
        Tool(Filled(c.encode, {{"SRC", source}, {"OUT", file}}));
        Tool(Filled(c.reference, {{"IN", file}, {"PNG", png}}));
        TBitmapEx picture;
        size_t pictures = 0;
        EXPECT_EQ(picture.LoadFromFileEx(file, pictures), FormatIndexOf(file)) << c.file;
        EXPECT_EQ(pictures, 1u);
        EXPECT_EQ(picture.Raster()->hasAlpha, c.alpha) << c.file;
        const camera::RgbaPicture reference = DecodeRgba(png);
        EXPECT_LE(MaxDifference(RgbaOf(picture), reference, true), c.tolerance) << c.file;
        if (c.minPsnr > 0) {
            EXPECT_GE(Psnr(RgbaOf(picture), DecodeRgba(source)), c.minPsnr) << c.file;
        } else {
            EXPECT_EQ(picture.Width(), c.height) << c.file;
        }
    }
}

TEST_F(HeifTest, SeveralPicturesGiveThePrimaryAndTheirCount)
{
    MakeSource(dir.File("a.png"), 32, 16, false);
    ImageMagick(Quote(dir.File("a.png")) + " -negate " + Quote(dir.File("b.png")));
    Tool("heif-enc -q 90 " + Quote(dir.File("a.png")) + " " + Quote(dir.File("b.png")) + " -o " +
         Quote(dir.File("two.heic")));
    TBitmapEx picture;
    size_t pictures = 0;
    picture.LoadFromFileEx(dir.File("two.heic"), pictures);
    EXPECT_EQ(pictures, 2u);
    EXPECT_GE(Psnr(RgbaOf(picture), DecodeRgba(dir.File("a.png"))), 30);
}

TEST_F(HeifTest, WrittenFilesReadBackAndKeepOpacity)
{
    MakeSource(dir.File("s.png"), 161, 97, true);
    const camera::RgbaPicture source = DecodeRgba(dir.File("s.png"));
    struct Case {
        const char* name;
        const char* decode;
        bool alpha;
    } cases[] = {
        {"out.heic", "heif-convert IN PNG", false},
        {"alpha.heic", "heif-convert IN PNG", true},
        {"out.avif", "avifdec IN PNG", false},
        {"alpha.avif", "avifdec IN PNG", true},
    };
    for (const Case& c : cases) {
        TBitmapEx picture;
        Adopt(picture, source, c.alpha);
        uintmax_t sizes[2] = {};
        for (int quality : {90, 40}) {
            const std::string out = dir.File(std::to_string(quality) + c.name), png = out + ".png";
            ASSERT_EQ(picture.SaveToFileEx(out, quality), FormatIndexOf(out));
            Tool(Filled(c.decode, {{"IN", out}, {"PNG", png}}));
            const camera::RgbaPicture decoded = DecodeRgba(png);
            EXPECT_GE(Psnr(decoded, RgbaOf(picture)), quality == 90 ? 32 : 26) << c.name;
            if (c.alpha) {
                EXPECT_LE(MaxDifference(camera::RgbaPicture{1, int(source.rgba.size()) / 4, AlphaOf(decoded)},
                                        camera::RgbaPicture{1, int(source.rgba.size()) / 4, AlphaOf(source)}),
                          quality == 90 ? 24 : 64)
                    << c.name;
            }
            sizes[quality == 90 ? 0 : 1] = std::filesystem::file_size(out);
        }
        EXPECT_LT(sizes[1], sizes[0]) << c.name;
    }
}

TEST_F(HeifTest, ExifOrientationIsWrittenAndReadAsUpright)
{
    // An Exif block with the orientation 6 ("turn right") and an XMP packet.
    const std::vector<uint8_t> exif = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                                       0,   1,   0,  0, 0, 6, 0, 0, 0, 0, 0,    0,    0};
    const std::string xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF/></x:xmpmeta>";
    MakeSource(dir.File("s.png"), 40, 20, false);
    TBitmapEx picture;
    Adopt(picture, DecodeRgba(dir.File("s.png")), false);
    TSideDataBudget budget;
    KeepExifBlock(picture.Metadata, exif, false, budget);
    KeepXmpPacket(picture.Metadata, std::vector<uint8_t>(xmp.begin(), xmp.end()), budget);
    for (const char* name : {"e.heic", "e.avif"}) {
        const std::string out = dir.File(name);
        picture.SaveToFileEx(out, 80);
        EXPECT_EQ(RunCommand("exiftool -s -s -s -Orientation# " + Quote(out)).output, "1\n") << name;
        // A file whose Exif says "turn right" is read unturned, and says upright.
        Tool("exiftool -overwrite_original -Orientation#=6 " + Quote(out));
        EXPECT_EQ(RunCommand("exiftool -s -s -s -Orientation# " + Quote(out)).output, "6\n") << name;
        TBitmapEx back;
        back.LoadFromFileEx(out);
        EXPECT_EQ(back.Width(), 40) << name;
        const std::vector<uint8_t> read = ExifBlockForPicture(back.Metadata, 40, 20, false);
        ASSERT_FALSE(read.empty()) << name;
        const auto packet = XmpPacketOf(back.Metadata);
        EXPECT_NE(std::string(packet.begin(), packet.end()).find("x:xmpmeta"), std::string::npos) << name;
        WriteBytes(dir.File("read.exif"), read);
        EXPECT_EQ(RunCommand("exiftool -s -s -s -Orientation# " + Quote(dir.File("read.exif"))).output, "1\n") << name;
    }
}

TEST_F(HeifTest, AHugeDeclaredPictureIsRefused)
{
    size_t ispe = 0;
    std::vector<uint8_t> bytes = SmallHeic(16, 16, "ispe", ispe);
    ASSERT_NE(ispe, std::string::npos);
    // Version and flags, then width and height, 32 bits each.
    for (size_t at = ispe + 8; at < ispe + 16; at += 4) {
        bytes[at] = 0;
        bytes[at + 1] = 0;
        bytes[at + 2] = 0xFF;
        bytes[at + 3] = 0xFF;
    }
    WriteBytes(dir.File("huge.heic"), bytes);
    TBitmapEx picture;
    EXPECT_THROW(picture.LoadFromFileEx(dir.File("huge.heic")), Exception);
    EXPECT_EQ(picture.Width(), 0);
}

// A coded unit whose length runs past the data fails that file alone: the
// next file still decodes.
TEST_F(HeifTest, AUnitLengthBeyondTheDataFailsThatFileAlone)
{
    size_t mdat = 0;
    std::vector<uint8_t> bytes = SmallHeic(64, 48, "mdat", mdat);
    ASSERT_NE(mdat, std::string::npos);
    // The picture's data begins with its first unit's length, 32 bits.
    ASSERT_LT(mdat + 8, bytes.size());
    bytes[mdat + 4] = 0x7F;
    WriteBytes(dir.File("damaged.heic"), bytes);
    for (int round = 0; round < 2; ++round) {
        TBitmapEx damaged, sound;
        try {
            damaged.LoadFromFileEx(dir.File("damaged.heic"));
            ADD_FAILURE() << "loaded";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "Ungültige HEIF-Datei");
        }
        EXPECT_EQ(damaged.Width(), 0);
        sound.LoadFromFileEx(dir.File("s.heic"));
        EXPECT_EQ(sound.Width(), 64);
    }
}

// Nearest scaling takes only some rows: an opaque 8-bit picture gives just
// those, converted from its planes here, as the whole picture has them
// (within the rounding of another conversion); other pictures are not asked
// and come whole.
TEST_F(HeifTest, RowsSampledFromThePlanesAreTheWholePicturesRows)
{
    const struct {
        const char* encode;
        const char* file;
        bool alpha;
        bool sampled;
        int tolerance;
    } cases[] = {
        {"heif-enc -q 90 SRC -o OUT", "a.heic", false, true, 8},
        {"heif-enc -q 90 SRC -o OUT", "alpha.heic", true, false, 0},
        {"avifenc -s 8 SRC OUT", "a.avif", false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string source = dir.File("s.png"), file = dir.File(c.file);
        MakeSource(source, 301, 203, c.alpha);
        Tool(Filled(c.encode, {{"SRC", source}, {"OUT", file}}));
        TBitmapEx whole, sampled;
        size_t pictures = 0;
        whole.LoadFromFileEx(file);
        bool asked = false;
        sampled.LoadFromFileEx(file, pictures, TRowRequest{[&](int32_t width, int32_t height) {
                                   asked = true;
                                   EXPECT_EQ(width, 301);
                                   EXPECT_EQ(height, 203);
                                   return 37;
                               }});
        EXPECT_EQ(asked, c.sampled);
        ASSERT_EQ(sampled.Height(), c.sampled ? 37 : 203);
        const int difference = MaxSampledRowDifference(RgbaOf(whole), RgbaOf(sampled));
        EXPECT_LE(difference, c.tolerance);
    }
}

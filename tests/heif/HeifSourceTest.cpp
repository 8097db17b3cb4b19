// What HEIC and AVIF sources hold beyond their first 8-bit picture: deep
// files and sequences stay as they are in an in-place run, and grey AVIF
// pictures stored in limited range read as avifdec shows them.
#include <gtest/gtest.h>

#include <filesystem>

#include "CameraChecks.h"
#include "TestSupport.h"
#include "formats/BitmapEx.h"
#include "formats/heif/CodedHeaders.h"
#include "formats/heif/HeifBoxes.h"

using namespace corvalin;
using namespace testsupport;

namespace {

bool Made(const std::string& command)
{
    RunToolOnce(command);
    return !::testing::Test::HasFatalFailure();
}

}  // namespace

TEST(HeifSources, DeepFilesAndSequencesStayInPlaceWithTheirReason)
{
    if (!IsUsable(FormatRow(fiHeic)))
        GTEST_SKIP() << "built without libheif";
    TempDir dir;
    const std::string pics = dir.File("Bilder"), deep = dir.File("deep.png"), a = dir.File("a.png");
    std::filesystem::create_directories(pics);
    ImageMagick("-size 64x48 gradient:red-blue -depth 16 " + Quote(deep));
    ImageMagick("-size 64x48 gradient:red-blue -depth 8 " + Quote(a));
    ImageMagick(Quote(a) + " -negate " + Quote(dir.File("b.png")));
    const struct {
        const char* name;
        std::string make;
        const char* reason;  // none: converted in place
    } sources[] = {
        {"tief.avif", "avifenc -s 8 -d 10 " + Quote(deep), "10 Bit je Farbwert"},
        {"tief.heic", "heif-enc -q 60 -b 10 " + Quote(deep) + " -o", "10 Bit je Farbwert"},
        {"folge.avif", "avifenc -s 8 " + Quote(a) + " " + Quote(dir.File("b.png")) + " " + Quote(a),
         "Die Datei enthält 3 Bilder"},
        {"flach.avif", "avifenc -s 8 " + Quote(a), ""},
    };
    std::map<std::string, std::vector<uint8_t>> before;
    for (const auto& s : sources) {
        ASSERT_TRUE(Made(s.make + " " + Quote(pics + "/" + s.name))) << s.make;
        before[s.name] = ReadBytes(pics + "/" + s.name);
    }
    const std::string err = dir.File("err.txt");
    const CommandResult run = RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 XDG_CONFIG_HOME=" +
                                         Quote(dir.File("config")) + " " + Quote(CORVALIN_BINARY) + " /auto=1 /dir=" +
                                         Quote(pics) + " /format=1 /colors=1 /copy=0 /adapt=3 /height=20 /recursiv=0 2>" +
                                         Quote(err));
    EXPECT_EQ(run.status, 1);
    const std::vector<uint8_t> errBytes = ReadBytes(err);
    const std::string messages(errBytes.begin(), errBytes.end());
    for (const auto& s : sources) {
        SCOPED_TRACE(s.name);
        const std::string path = pics + "/" + s.name;
        const size_t line = messages.find("/Bilder/" + std::string(s.name) + " ");
        if (*s.reason == '\0') {
            EXPECT_EQ(line, std::string::npos) << messages;
            EXPECT_NE(ReadBytes(path), before[s.name]);
            continue;
        }
        EXPECT_EQ(ReadBytes(path), before[s.name]);
        ASSERT_NE(line, std::string::npos) << messages;
        EXPECT_NE(messages.substr(line, messages.find('\n', line) - line).find(s.reason), std::string::npos)
            << messages;
    }
}

// avifdec stretches a grey picture stored in limited range to the full
// range; its 16-bit output rounded to 8 bits is what the picture shows.
TEST(HeifSources, GreyAvifInLimitedRangeReadsAsAvifdecShowsIt)
{
    if (!IsUsable(FormatRow(fiAvif)))
        GTEST_SKIP() << "built without libheif";
    TempDir dir;
    const std::string source = dir.File("grey.png");
    ImageMagick("-size 256x8 gradient:black-white -colorspace Gray -depth 16 " + Quote(source));
    const struct {
        const char* options;
        bool fullRange;
    } cases[] = {{"-d 8 -r l", false}, {"-d 10 -r l", false}, {"-d 8 -r f", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string avif = dir.File("grey.avif"), png = dir.File("ref.png"), raw = dir.File("ref.gray");
        ASSERT_TRUE(Made("avifenc -s 8 -y 400 " + std::string(c.options) + " " + Quote(source) + " " + Quote(avif)));
        ASSERT_TRUE(Made("avifdec -d 16 " + Quote(avif) + " " + Quote(png)));
        ImageMagick(Quote(png) + " -colorspace Gray -depth 16 -endian MSB " + Quote("gray:" + raw));
        const std::vector<uint8_t> reference = ReadBytes(raw);
        const std::vector<uint8_t> file = ReadBytes(avif);
        const THeifLayout layout = ReadHeifLayout(file);
        EXPECT_EQ(Av1FullRange(layout.Item(layout.primary)->data), c.fullRange);
        TBitmapEx picture;
        picture.LoadFromFileEx(avif);
        const camera::RgbaPicture shown = camera::RgbaOf(picture);
        ASSERT_EQ(reference.size(), shown.rgba.size() / 2);
        int worst = 0;
        for (size_t at = 0; at < reference.size(); at += 2) {
            const int expected = ((reference[at] << 8 | reference[at + 1]) * 255 + 32767) / 65535;
            worst = std::max(worst, std::abs(int(shown.rgba[at * 2]) - expected));
        }
        EXPECT_LE(worst, 1);
    }
}

// avifenc stores opacity in full range: the range flag of the opacity's
// sequence header is cleared here (the last bit from the end whose change
// makes the header say limited range), so the same coded samples now mean
// 16 to 235 and read stretched, the colours as before.
TEST(HeifSources, OpacityInLimitedRangeIsStretched)
{
    if (!IsUsable(FormatRow(fiAvif)))
        GTEST_SKIP() << "built without libheif";
    TempDir dir;
    const std::string full = dir.File("full.avif"), limited = dir.File("limited.avif");
    camera::MakeSource(dir.File("a.png"), 48, 32, true);
    ASSERT_TRUE(Made("avifenc -s 8 " + Quote(dir.File("a.png")) + " " + Quote(full)));
    const std::vector<uint8_t> file = ReadBytes(full);
    const THeifLayout layout = ReadHeifLayout(file);
    const auto alpha = std::find_if(layout.items.begin(), layout.items.end(),
                                    [](const THeifItem& item) { return item.auxType.find("alpha") != std::string::npos; });
    ASSERT_NE(alpha, layout.items.end());
    ASSERT_EQ(Av1FullRange(alpha->data), true);
    const size_t start = size_t(alpha->data.data() - file.data());
    std::vector<uint8_t> changed;
    for (size_t bit = std::min<size_t>(alpha->data.size(), 32) * 8; bit-- > 0 && changed.empty();) {
        std::vector<uint8_t> flipped = file;
        flipped[start + bit / 8] ^= uint8_t(0x80 >> (bit % 8));
        if (Av1FullRange(std::span<const uint8_t>(flipped).subspan(start, alpha->data.size())) == false)
            changed = std::move(flipped);
    }
    ASSERT_FALSE(changed.empty());
    WriteBytes(limited, changed);
    TBitmapEx before, after;
    before.LoadFromFileEx(full);
    after.LoadFromFileEx(limited);
    const camera::RgbaPicture stored = camera::RgbaOf(before), shown = camera::RgbaOf(after);
    ASSERT_EQ(stored.rgba.size(), shown.rgba.size());
    int worst = 0;
    for (size_t at = 0; at < stored.rgba.size(); ++at) {
        const int value = stored.rgba[at];
        const int expected = at % 4 != 3 ? value : std::clamp(((value - 16) * 255 + 109) / 219, 0, 255);
        worst = std::max(worst, std::abs(int(shown.rgba[at]) - expected));
    }
    EXPECT_EQ(worst, 0);
}

// Whether a source converted in place may be replaced: the guard's
// decisions over made-up reports, for every row of the format table, and
// one lossless WebP converted in place through the program.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "AppTestUtil.h"
#include "TestSupport.h"
#include "app/ConvertPicture.h"
#include "formats/FormatTable.h"

using namespace corvalin;
using testsupport::Quote;

namespace {

struct GuardCase {
    const char* what;
    TSourceReport report;
    size_t pictures;
    int row;
    size_t kept;
    const char* reasonPart;  // empty: the file may be replaced
};

}  // namespace

TEST(InPlaceGuard, DecisionsOverReports)
{
    const GuardCase cases[] = {
        {"one picture", {}, 1, fiPng, 1, ""},
        {"frames beyond the one kept", {}, 3, fiPng, 1, "enthält 3 Bilder"},
        {"an icon's sizes the writer keeps", {}, 3, fiIco, 3, ""},
        {"an icon's sizes the writer drops", {}, 3, fiIco, 2, "enthält 3 Bilder"},
        {"a depth map and a thumbnail", TSourceReport{.auxiliaryPictures = 2}, 1, fiHeic, 1, "Nebenbilder"},
        {"lossless, writer lossless at full quality", TSourceReport{.lossless = true}, 1, fiWebp, 1, ""},
        {"lossless JPEG XL", TSourceReport{.lossless = true}, 1, fiJxl, 1, ""},
        {"lossless, writer always lossy", TSourceReport{.lossless = true}, 1, fiAvif, 1, "verlustfrei gespeichert"},
        {"lossless, writer without quality", TSourceReport{.lossless = true}, 1, fiPng, 1, ""},
    };
    for (const GuardCase& c : cases) {
        const std::string reason = ReasonToKeepOriginal(c.report, c.pictures, FormatRow(c.row), c.kept, false, 0);
        if (*c.reasonPart == '\0')
            EXPECT_EQ(reason, "") << c.what;
        else
            EXPECT_NE(reason.find(c.reasonPart), std::string::npos) << c.what << ": " << reason;
    }
}

// The guard judges the table's data, not a list of formats: a file of two
// pictures is kept whatever its row, unless the row's writer keeps both.
TEST(InPlaceGuard, EveryRowKeepsAFileOfMorePicturesThanItWrites)
{
    for (int index = 1; index <= kFormatCount; ++index) {
        const TFormatRow& row = FormatRow(index);
        EXPECT_NE(ReasonToKeepOriginal({}, 2, row, 1, false, 0), "") << row.Extension;
        EXPECT_EQ(ReasonToKeepOriginal({}, 2, row, 2, false, 0), "") << row.Extension;
    }
}

TEST(InPlaceGuard, LosslessWebpStaysLosslessInPlace)
{
    if (!IsUsable(FormatRow(fiWebp)) || !testsupport::HaveTool("/usr/bin/cwebp"))
        GTEST_SKIP() << "no WebP in this build or no cwebp";
    testsupport::TempDir dir;
    const std::string png = dir.File("quelle.png"), webp = dir.File("bild.webp");
    testsupport::Pillow("from PIL import Image\nImage.effect_noise((128, 96), 80).convert('RGB').save('" +
                        png + "')\n");
    ASSERT_EQ(testsupport::RunCommand("/usr/bin/cwebp -quiet -lossless " + Quote(png) + " -o " + Quote(webp)).status, 0);
    std::filesystem::remove(png);
    const auto run = [&](const std::string& switches) {
        return testsupport::RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=" + Quote(dir.File("config")) +
                                       " " + Quote(CORVALIN_BINARY) + " /auto=1 /recursiv=0 /copy=0 /adapt=2 /width=64 "
                                       "/quality=50 /dir=" + Quote(dir.Path()) + " " + switches + " 2>&1");
    };
    // Under a size limit the lossless file does not fit: it stays.
    const std::vector<uint8_t> original = testsupport::ReadBytes(webp);
    const auto limited = run("/maxkb=1");
    EXPECT_EQ(limited.status, 1) << limited.output;
    EXPECT_NE(limited.output.find("verlustfrei wäre sie"), std::string::npos) << limited.output;
    EXPECT_EQ(testsupport::ReadBytes(webp), original);

    const auto converted = run("");
    ASSERT_EQ(converted.status, 0) << converted.output;
    const std::vector<uint8_t> result = testsupport::ReadBytes(webp);
    ASSERT_NE(result, original);
    const std::string bytes(result.begin(), result.end());
    EXPECT_NE(bytes.find("VP8L"), std::string::npos);
    EXPECT_EQ(bytes.find("VP8 "), std::string::npos);
}

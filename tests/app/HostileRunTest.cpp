// Runs of the program on hostile input, judged by what they do: unbounded
// lists, names that hold terminal controls, stored sizes that convert
// nothing, a huge logo on a small picture, and the missing-folder text.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "AppTestUtil.h"
#include "MeasuredRun.h"
#include "TestSupport.h"

using namespace corvalin;
using testsupport::Quote;
namespace fs = std::filesystem;

namespace {

class HostileRun : public ::testing::Test {
public:
    testsupport::TempDir dir;
    std::string pics = dir.File("Bilder");
    std::string config = dir.File("config");

    void SetUp() override
    {
        fs::create_directories(pics);
        WriteTestBmp(pics + "/bild.bmp", 64, 48, [](int x, int y) { return RGB(x * 4, y * 5, 0); });
    }

    // Standard output and error together.
    testsupport::CommandResult Run(const std::string& arguments)
    {
        return testsupport::RunCommand("cd " + Quote(dir.Path()) + " && env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 "
                                       "XDG_CONFIG_HOME=" + Quote(config) + " " + Quote(CORVALIN_BINARY) + " " +
                                       arguments + " 2>&1");
    }

    void WriteStore(const std::string& body)
    {
        fs::create_directories(config + "/Corvalin");
        std::ofstream(config + "/Corvalin/Corvalin.conf") << "[Corvalin]\n" << body;
    }
};

struct HostileCase {
    const char* what;
    std::function<void(HostileRun&)> prepare;
    std::string arguments;  // after the program's name; PICS stands for the folder
    int status;
    std::string shown;     // a part of the output
    std::string notShown;  // a part that must not appear; empty: none
};

}  // namespace

TEST_F(HostileRun, CasesEndAsTheyShould)
{
    const std::string name = "a\033]0;Titel\007b\rc.bmp";
    const HostileCase cases[] = {
        {"a device as the list", nullptr, "--files-from=/dev/zero", 2, "ist keine Datei", "bad_alloc"},
        {"an endless standard input", nullptr, "--files-from=- </dev/zero", 2, "ist zu lang (höchstens 64 MB", "bad_alloc"},
        {"a list of names read as ever",
         [](HostileRun& run) { std::ofstream(run.dir.File("liste.txt")) << run.pics << "/bild.bmp\n"; },
         "--files-from=liste.txt --out=Ziel", 0, "bild.bmp", ""},
        {"terminal controls and a carriage return in a name",
         [&name](HostileRun& run) { fs::copy_file(run.pics + "/bild.bmp", run.pics + "/" + name); },
         "/auto=1 /recursiv=0 /copy=1 /dir=PICS", 0, "Neu_a\\033]0;Titel\\ab\\rc.bmp: ", "\033"},
        {"stored sizes of 0", [](HostileRun& run) { run.WriteStore("width=0\nheight=0\nmode=2\n"); },
         "/auto=1 /recursiv=0 /copy=1 /dir=PICS", 0, "Neu_bild.bmp", ""},
        {"numbered names planned by a dry run, each its own",
         [](HostileRun& run) {
             for (const char* folder : {"/b", "/c"})
                 fs::create_directories(run.pics + folder), fs::copy_file(run.pics + "/bild.bmp", run.pics + folder + "/bild.bmp");
         },
         "--dry-run --exists=number --out=Plan PICS/bild.bmp PICS/b/bild.bmp PICS/c/bild.bmp", 0, "Plan/Neu_bild_2.bmp\n",
         "Neu_bild_3"},
        {"a folder typed with its slash, missing", nullptr, "/auto=1 /dir=PICS/fehlt/", 1,
         "Das Verzeichnis \"PICS/fehlt/\" existiert nicht!", "fehlt//"},
    };
    const auto withPics = [this](std::string text) {
        for (size_t at = text.find("PICS"); at != std::string::npos; at = text.find("PICS", at))
            text.replace(at, 4, pics);
        return text;
    };
    for (const HostileCase& c : cases) {
        fs::remove_all(config);
        if (c.prepare)
            c.prepare(*this);
        const auto result = Run(withPics(c.arguments));
        EXPECT_EQ(result.status, c.status) << c.what << "\n" << result.output;
        EXPECT_NE(result.output.find(withPics(c.shown)), std::string::npos) << c.what << "\n" << result.output;
        if (!c.notShown.empty())
            EXPECT_EQ(result.output.find(c.notShown), std::string::npos) << c.what << "\n" << result.output;
    }
    EXPECT_EQ(fs::file_size(pics + "/Neu_bild.bmp"), 400u * 300 * 3 + 54);  // the default size
}

// A logo of 8000 x 8000 on a small picture is kept at the size it is drawn
// at: the run holds its decoded picture once, never a 32-bit copy beside it.
TEST_F(HostileRun, HugeLogoIsReducedOnLoad)
{
    if (!kPlainBuild)
        GTEST_SKIP() << "peaks are compared in a plain build";
    const std::string logo = dir.File("logo.png");
    testsupport::Pillow("from PIL import Image\nImage.new('RGB', (8000, 8000), (200, 30, 30)).save('" + logo + "')\n");
    const MeasuredRun run = RunMeasured(pics, config, dir.Path(), "/logo=" + Quote(logo));
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(fs::exists(pics + "/Neu_bild.bmp"));
    const int64_t pixels = int64_t(8000) * 8000;
    EXPECT_LT(run.peakBytes, 5 * pixels) << run.peakBytes;
    // Charged to the run's memory: a budget it does not fit refuses the run.
    const MeasuredRun small = RunMeasured(pics, config, dir.Path(), "/maxmem=64 /logo=" + Quote(logo));
    EXPECT_NE(small.status, 0);
    EXPECT_NE(small.err.find("Das Logo"), std::string::npos) << small.err;
}

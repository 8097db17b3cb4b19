// Presets: saved beside the settings store in its format, loaded over the
// controls (the folder stays), and the switch /preset= of a headless run.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "FakeFrontEnd.h"
#include "TestSupport.h"
#include "app/Presets.h"
#include "app/Session.h"

using namespace corvalin;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path)
{
    const auto bytes = testsupport::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

class PresetsTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string store = dir.File("Corvalin/Corvalin.conf");
    FakeFrontEnd frontEnd;
    TSession session{frontEnd};
};

}  // namespace

TEST_F(PresetsTest, SavedSettingsComeBackAndTheFolderStays)
{
    frontEnd.settings.Directory = "/home/anna/Urlaub/";
    frontEnd.settings.Width = 1024;
    frontEnd.settings.Output.Suffix = "_web";
    frontEnd.settings.Metadata.Strip = true;
    ASSERT_TRUE(SavePreset(session, "Web groß", store));
    const std::string text = ReadText(dir.File("Corvalin/presets/Web groß.conf"));
    EXPECT_EQ(text.substr(0, 11), "[Corvalin]\n");
    EXPECT_NE(text.find("\nwidth=1024\n"), std::string::npos);
    EXPECT_EQ(text.find("path="), std::string::npos) << "a preset holds no folder";

    ASSERT_TRUE(SavePreset(session, "alles beim Alten", store));
    frontEnd.settings = TConversionSettings{};
    frontEnd.settings.Directory = "/anderswo/";
    ASSERT_TRUE(LoadPreset(session, "Web groß", store));
    EXPECT_EQ(frontEnd.settings.Width, 1024);
    EXPECT_EQ(frontEnd.settings.Output.Suffix, "_web");
    EXPECT_TRUE(frontEnd.settings.Metadata.Strip);
    EXPECT_EQ(frontEnd.settings.Directory, "/anderswo/");
    EXPECT_TRUE(frontEnd.messages.empty());

    std::ofstream(dir.File("Corvalin/presets/notiz.txt")) << "x";
    EXPECT_EQ(PresetNames(store), (std::vector<std::string>{"Web groß", "alles beim Alten"}));
    ASSERT_TRUE(DeletePreset(session, "Web groß", store));
    EXPECT_EQ(PresetNames(store), (std::vector<std::string>{"alles beim Alten"}));
    EXPECT_FALSE(LoadPreset(session, "Web groß", store));
    ASSERT_EQ(frontEnd.messages.size(), 1u);
    EXPECT_NE(frontEnd.messages[0].find("\"Web groß\" existiert nicht"), std::string::npos);
}

TEST_F(PresetsTest, NamesThatAreNoFileNameAreRefused)
{
    const char* const refused[] = {"", "a/b", "/etc/passwd", "..", ".", "zwei\nZeilen"};
    for (const char* name : refused) {
        frontEnd.messages.clear();
        EXPECT_FALSE(SavePreset(session, name, store)) << name;
        EXPECT_FALSE(LoadPreset(session, name, store)) << name;
        EXPECT_FALSE(DeletePreset(session, name, store)) << name;
        EXPECT_EQ(frontEnd.messages.size(), 3u) << name;
    }
    EXPECT_FALSE(fs::exists(dir.File("Corvalin"))) << "a refused name wrote something";
    EXPECT_TRUE(IsPresetName("..a"));
    EXPECT_TRUE(PresetNames(store).empty());
}

TEST(PresetSwitch, LoadsThePresetBeforeTheOtherSwitchesOfAHeadlessRun)
{
    TempDir dir;
    const std::string pics = dir.File("Bilder");
    fs::create_directories(pics);
    fs::create_directories(dir.File("config/Corvalin/presets"));
    std::ofstream(dir.File("config/Corvalin/presets/klein.conf"))
        << "[Corvalin]\nmode=1\nwidth=20\nheight=20\nsuffix=_klein\nprefix=\n";
    const auto run = [&](const std::string& switches) {
        return testsupport::RunCommand("cd " + testsupport::Quote(dir.Path()) +
                                       " && env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 XDG_CONFIG_HOME=" +
                                       testsupport::Quote(dir.File("config")) + " " +
                                       testsupport::Quote(CORVALIN_BINARY) +
                                       " /auto=1 /dir=" + testsupport::Quote(pics) + " " + switches + " 2>&1");
    };
    // The width switch stands first, yet changes the preset's width.
    const std::string convert = "/usr/bin/convert -size 40x10 xc:red " + testsupport::Quote(pics + "/a.bmp");
    ASSERT_EQ(testsupport::RunCommand(convert).status, 0);
    const auto done = run("/width=8 /preset=klein");
    EXPECT_EQ(done.status, 0) << done.output;
    const auto size = testsupport::RunCommand(
        "/usr/bin/python3 -c 'from PIL import Image; import sys; "
        "print(Image.open(sys.argv[1]).size)' " +
        testsupport::Quote(pics + "/a_klein.bmp"));
    EXPECT_EQ(size.output, "(8, 2)\n");

    const auto missing = run("/preset=fehlt");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.output.find("\"fehlt\" existiert nicht"), std::string::npos) << missing.output;
}

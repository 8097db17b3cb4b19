#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "FakeFrontEnd.h"
#include "TestSupport.h"
#include "app/ConversionSettings.h"
#include "app/Session.h"
#include "app/Settings.h"
#include "app/SettingsStore.h"
#include "common/Tools.h"

using namespace corvalin;
using testsupport::TempDir;

namespace {

void WriteStore(const std::string& path, const std::string& body)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "[Corvalin]\n" << body;
}

std::string ReadText(const std::string& path)
{
    const auto bytes = testsupport::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

class SettingsTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string store = dir.File("Corvalin/Corvalin.conf");
    FakeFrontEnd frontEnd;
    TSession session{frontEnd};
};

TEST_F(SettingsTest, FirstStartGivesTheDefaults)
{
    frontEnd.settings.Width = -7;  // whatever the controls held before
    LoadSettings(session, store);
    const TConversionSettings& s = frontEnd.settings;
    EXPECT_EQ(s.Directory, CurrentDirectory());
    EXPECT_TRUE(s.SearchSubfolders);
    EXPECT_EQ(s.Width, 400);
    EXPECT_EQ(s.Height, 300);
    EXPECT_EQ(s.Quality, 85);
    EXPECT_EQ(s.FitMode, 2);
    EXPECT_EQ(s.Rotation, 0);
    EXPECT_TRUE(s.SaveAsCopy);
    EXPECT_FALSE(s.TextEnabled);
    EXPECT_EQ(s.TargetFormat, 0);
    EXPECT_EQ(s.ColorDepth, 0);
    EXPECT_EQ(s.Scaling, TScalingChoices{});  // nearest pixel, enlarging allowed
    for (size_t i = 0; i < s.FileTypes.size(); ++i)
        EXPECT_EQ(s.FileTypes[i], IsUsable(FormatTable[i])) << i;
    EXPECT_TRUE(session.Preview);
    EXPECT_EQ(session.Overlay.Text, "Beispieltext");
    EXPECT_EQ(session.Overlay.Border, 5);
    EXPECT_EQ(session.Overlay.Align, 9);
    EXPECT_EQ(frontEnd.states.MarkAll, TCheckState::Checked);
    EXPECT_FALSE(frontEnd.states.WidthVisible);
    EXPECT_TRUE(frontEnd.states.HeightVisible);
    EXPECT_TRUE(frontEnd.states.QualityEnabled);
    EXPECT_TRUE(frontEnd.states.PreviewChecked);
    EXPECT_FALSE(std::filesystem::exists(store));  // loading writes nothing
}

TEST_F(SettingsTest, MalformedAndOutOfRangeValues)
{
    WriteStore(store,
               "mode=x7\nrotate=9\nconvert=15\ncolordepth=-3\nquality=150\nwidth=abc\n"
               "subfolder=0\ncopy=yes\npreview=2\nnot a value line\n=5\npath=/Bilder\n");
    LoadSettings(session, store);
    const TConversionSettings& s = frontEnd.settings;
    EXPECT_EQ(s.FitMode, 2);        // "x7" reads as the default
    EXPECT_EQ(s.Rotation, 3);       // beyond the last entry: the last
    EXPECT_EQ(s.TargetFormat, -1);  // names no entry: no selection
    EXPECT_EQ(s.ColorDepth, -1);
    EXPECT_EQ(s.Quality, 100);      // the box keeps to 0..100
    EXPECT_EQ(s.Width, 400);
    EXPECT_FALSE(s.SearchSubfolders);
    EXPECT_TRUE(s.SaveAsCopy);      // "yes" is no number: the default
    EXPECT_TRUE(session.Preview);   // any number but 0 is yes
    EXPECT_EQ(s.Directory, "/Bilder");
    EXPECT_EQ(frontEnd.folderDialogFileName, "/Bilder/verzeichnis.dir");

    SaveSettings(session, store);
    const std::string text = ReadText(store);
    EXPECT_NE(text.find("\nconvert=-1\n"), std::string::npos);
    EXPECT_NE(text.find("\ncolordepth=-1\n"), std::string::npos);
    EXPECT_NE(text.find("\npath=/Bilder/\n"), std::string::npos);
}

// Values the switches would refuse read as the defaults.
TEST_F(SettingsTest, MalformedOutputChoicesReadAsDefaults)
{
    for (const char* body :
         {"prefix=a/b\nsuffix=\x01\nexists=3\nmaxkb=-5\n", "exists=-1\nmaxkb=viel\n", "exists=skip\n"}) {
        WriteStore(store, body);
        LoadSettings(session, store);
        TOutputChoices defaults;
        defaults.Trash = true;  // the windows trash replaced originals unless told otherwise
        EXPECT_EQ(frontEnd.settings.Output, defaults) << body;
    }
}

TEST_F(SettingsTest, ModeSevenSelectsMaximumAndNegativeSelectsNone)
{
    WriteStore(store, "mode=7\nrotate=-1\n");
    LoadSettings(session, store);
    EXPECT_EQ(frontEnd.settings.FitMode, 4);
    EXPECT_EQ(frontEnd.settings.Rotation, -1);
}

TEST_F(SettingsTest, SaveThenLoadGivesEverythingBackInOrder)
{
    TConversionSettings s;
    s.Directory = "/srv/Bilder mit Leerzeichen";
    s.SearchSubfolders = false;
    s.FileTypes = {};
    s.FileTypes[6] = true;  // pcx
    s.FileTypes[5] = true;  // psd
    s.Width = 3;
    s.Height = 77;
    s.Quality = 12;
    s.FitMode = 4;
    s.Rotation = 3;
    s.SaveAsCopy = false;
    s.TextEnabled = true;
    s.TargetFormat = 10;
    s.ColorDepth = 6;
    s.Metadata = {false, true, true, true};
    s.Output = {"../Aus gabe", "", "_klein", etNumber, 480};
    s.Scaling = {true, false};
    frontEnd.settings = s;
    session.Preview = false;
    session.Overlay = {"(c) Hestrad", -10, 5, nullptr};
    SaveSettings(session, store);

    const std::string expected =
        "[Corvalin]\npath=/srv/Bilder mit Leerzeichen/\ncopyright=1\nsubfolder=0\ncopy=0\n"
        "preview=0\nwidth=3\nheight=77\nquality=12\nmode=4\nrotate=3\nconvert=10\n"
        "colordepth=6\ncopyright_text=(c) Hestrad\ncopyright_border=-10\ncopyright_align=5\n"
        "bmp=0\ngif=0\nico=0\njpg=0\npcd=0\npsd=1\npcx=1\npng=0\ntif=0\nwmf=0\n"
        "webp=0\nheic=0\navif=0\njxl=0\n"
        "autoorient=0\nstrip=1\nkeepdate=1\nsrgb=1\n"
        "outdir=../Aus gabe\nprefix=\nsuffix=_klein\nexists=2\nmaxkb=480\ntrash=0\nsmooth=1\nshrinkonly=0\n";
    EXPECT_EQ(ReadText(store), expected);

    FakeFrontEnd other;
    TSession again(other);
    LoadSettings(again, store);
    s.Directory += "/";
    EXPECT_EQ(other.settings, s);
    EXPECT_FALSE(again.Preview);
    EXPECT_EQ(again.Overlay.Text, "(c) Hestrad");
    EXPECT_EQ(again.Overlay.Border, -10);
    EXPECT_EQ(again.Overlay.Align, 5);
    EXPECT_EQ(other.states.MarkAll, TCheckState::Grayed);
    EXPECT_FALSE(other.states.QualityEnabled);
}

TEST_F(SettingsTest, UnreadableStoreGivesDefaultsAndIsNotWritten)
{
    // A folder where the file should be cannot be read as a store.
    std::filesystem::create_directories(store);
    frontEnd.settings.Width = 1;
    LoadSettings(session, store);
    EXPECT_EQ(frontEnd.settings.Width, 400);
    SaveSettings(session, store);  // no message, nothing thrown
    EXPECT_TRUE(std::filesystem::is_directory(store));
    EXPECT_TRUE(frontEnd.messages.empty());
}

TEST_F(SettingsTest, SavingKeepsForeignValuesAndFollowsXdgConfigHome)
{
    WriteStore(store, "fremd=42\nwidth=1\n");
    SaveSettings(session, store);
    const std::string text = ReadText(store);
    EXPECT_NE(text.find("fremd=42\n"), std::string::npos);
    EXPECT_NE(text.find("width=400\n"), std::string::npos);

    ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(SettingsStorePath(), store);
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(ControlStates, FollowTheChoices)
{
    TConversionSettings s;
    s.FitMode = 0;
    TControlStates st = ComputeControlStates(s, false);
    EXPECT_FALSE(st.WidthVisible);
    EXPECT_FALSE(st.HeightVisible);
    EXPECT_FALSE(st.PreviewChecked);
    s.FitMode = 1;
    st = ComputeControlStates(s, true);
    EXPECT_TRUE(st.WidthVisible);
    EXPECT_FALSE(st.HeightVisible);
    s.FitMode = -1;
    st = ComputeControlStates(s, true);
    EXPECT_TRUE(st.WidthVisible && st.HeightVisible);

    s.TargetFormat = 8;  // PNG: never quality
    EXPECT_FALSE(ComputeControlStates(s, true).QualityEnabled);
    s.TargetFormat = 4;
    s.FileTypes = {};
    EXPECT_TRUE(ComputeControlStates(s, true).QualityEnabled);
    EXPECT_EQ(ComputeControlStates(s, true).MarkAll, TCheckState::Unchecked);
    s.TargetFormat = 0;
    EXPECT_FALSE(ComputeControlStates(s, true).QualityEnabled);  // "*.jpg" unticked
    s.FileTypes[3] = true;
    EXPECT_TRUE(ComputeControlStates(s, true).QualityEnabled);
    // The camera and web formats' writers follow the quality too.
    s.FileTypes = {};
    s.FileTypes[fiHeic - 1] = true;
    EXPECT_TRUE(ComputeControlStates(s, true).QualityEnabled);
    s.TargetFormat = fiWebp;
    EXPECT_TRUE(ComputeControlStates(s, true).QualityEnabled);
}

TEST(ListTexts, EntriesInTheirOrder)
{
    // The types this build reads, alphabetically.
    std::vector<std::string> types = {"*.avif", "*.bmp", "*.gif", "*.heic", "*.ico", "*.jpg",  "*.jxl",
                                      "*.pcd",  "*.pcx", "*.png", "*.psd",  "*.tif", "*.webp", "*.wmf"};
    std::erase_if(types, [](const std::string& mask) { return !IsUsable(FormatRow(FormatIndexOf(mask))); });
    EXPECT_EQ(FileTypeEntries(), types);
    auto position = [&](const char* mask) { return int(std::find(types.begin(), types.end(), mask) - types.begin()); };
    EXPECT_EQ(FileTypeFormatIndex(position("*.pcx")), 7);
    EXPECT_EQ(FileTypeFormatIndex(position("*.psd")), 6);
    ASSERT_EQ(ColorDepthEntries().size(), 7u);
    EXPECT_EQ(ColorDepthEntries()[1], "1 Bit (Schwarz-Weiß)");
    EXPECT_EQ(ColorDepthEntries()[4], "16 Bit (Foto)");
    EXPECT_EQ(FitModeEntries()[2], "Höhe");
    EXPECT_EQ(RotationEntries()[3], "270°");
}

// The stamp's font, colours, box, opacity, size and logo are found as they
// were left; set back to its default a value stays written.
TEST_F(SettingsTest, TheStampIsStoredAndRestored)
{
    TCopyrightText& overlay = session.Overlay;
    overlay.ChosenFont.Name = "DejaVu Serif";
    overlay.ChosenFont.Height = -31;
    overlay.ChosenFont.Italic = overlay.ChosenFont.StrikeOut = true;
    overlay.Color = "#FFFFFF";
    overlay.Box = kBoxColour;
    overlay.BoxColor = "#102030";
    overlay.Opacity = 45;
    overlay.RelativeSize = 6;
    overlay.Logo = "/srv/Logo mit Leerzeichen.png";
    overlay.LogoSize = 33;
    overlay.LogoAlign = kAlignTopLeft;
    SaveSettings(session, store);
    const std::string text = ReadText(store);
    for (const char* line :
         {"copyright_font=DejaVu Serif\n", "copyright_size=31\n", "copyright_style=10\n", "copyright_color=#FFFFFF\n",
          "copyright_box=2\n", "copyright_boxcolor=#102030\n", "copyright_opacity=45\n", "copyright_relsize=6\n",
          "copyright_logo=/srv/Logo mit Leerzeichen.png\n", "copyright_logosize=33\n", "copyright_logoalign=5\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;

    FakeFrontEnd other;
    TSession again(other);
    LoadSettings(again, store);
    TFont expected = overlay.ChosenFont;
    expected.Color = clWhite;
    EXPECT_EQ(again.Overlay.ChosenFont, expected);
    EXPECT_EQ(again.Overlay.Color, "#FFFFFF");
    EXPECT_EQ(again.Overlay.Box, kBoxColour);
    EXPECT_EQ(again.Overlay.BoxColor, "#102030");
    EXPECT_EQ(again.Overlay.Opacity, 45);
    EXPECT_EQ(again.Overlay.RelativeSize, 6);
    EXPECT_EQ(again.Overlay.Logo, "/srv/Logo mit Leerzeichen.png");
    EXPECT_EQ(again.Overlay.LogoSize, 33);
    EXPECT_EQ(again.Overlay.LogoAlign, kAlignTopLeft);

    again.Overlay.Opacity = 100;
    SaveSettings(again, store);
    EXPECT_NE(ReadText(store).find("copyright_opacity=100\n"), std::string::npos);
    // A size beyond any font's keeps the design size; a colour that is
    // none is kept as it is, for the run to refuse.
    WriteStore(store, "copyright_size=1001\ncopyright_color=nix\n");
    FakeFrontEnd third;
    TSession fresh(third);
    LoadSettings(fresh, store);
    EXPECT_EQ(fresh.Overlay.ChosenFont.Height, -11);
    EXPECT_EQ(fresh.Overlay.Color, "nix");
    EXPECT_EQ(fresh.Overlay.ChosenFont.Color, clBlack);
}

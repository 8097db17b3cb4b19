#include <gtest/gtest.h>

#include <functional>

#include "app/GnuOptions.h"
#include "app/OutputNames.h"
#include "app/ScriptRun.h"
#include "formats/FormatTable.h"

using namespace corvalin;

TEST(LongOptions, EachSetsItsSetting)
{
    const struct {
        std::vector<std::string> arguments;
        std::function<bool(const TScriptOptions&)> holds;
    } cases[] = {
        {{"--width=800"}, [](auto& o) { return o.Settings.Width == 800; }},
        {{"--height", "20"}, [](auto& o) { return o.Settings.Height == 20; }},
        {{"--fit=max"}, [](auto& o) { return o.Settings.FitMode == 4; }},
        {{"--fit=Height"}, [](auto& o) { return o.Settings.FitMode == 2; }},
        {{"--rotate=270"}, [](auto& o) { return o.Settings.Rotation == 3; }},
        {{"--depth=8"}, [](auto& o) { return o.Settings.ColorDepth == 3; }},
        {{"--depth=keep"}, [](auto& o) { return o.Settings.ColorDepth == 0; }},
        {{"--target=png"}, [](auto& o) { return o.Settings.TargetFormat == fiPng; }},
        {{"--quality=40"}, [](auto& o) { return o.Settings.Quality == 40; }},
        {{"--in-place"}, [](auto& o) { return !o.Settings.SaveAsCopy; }},
        {{"--recursive"}, [](auto& o) { return o.Settings.SearchSubfolders; }},
        {{"--types=JPEG,png"},
         [](auto& o) {
             return o.Settings.FileTypes[fiJpg - 1] && o.Settings.FileTypes[fiPng - 1] &&
                    std::count(o.Settings.FileTypes.begin(), o.Settings.FileTypes.end(), true) == 2;
         }},
        {{"--text=(c) Anna"}, [](auto& o) { return o.Text == "(c) Anna" && o.Settings.TextEnabled; }},
        {{"--no-auto-orient", "--strip", "--keep-date", "--srgb"},
         [](auto& o) {
             return o.Settings.Metadata == TMetadataChoices{false, true, true, true};
         }},
        {{"--out=/srv/aus", "--prefix=", "--suffix=_k", "--exists=number", "--max-kb=300"},
         [](auto& o) {
             return o.Settings.Output == TOutputChoices{"/srv/aus", "", "_k", etNumber, 300};
         }},
        {{"--threads=3"}, [](auto& o) { return o.Threads == 3; }},
        {{"--files-from=-", "--null", "--json", "--dry-run"},
         [](auto& o) { return o.FilesFrom == "-" && o.Null && o.Json && o.DryRun; }},
        {{"a.jpg", "--width=9", "Ordner mit Blank", "--", "--seltsam.png"},
         [](auto& o) {
             return o.Names == std::vector<std::string>{"a.jpg", "Ordner mit Blank", "--seltsam.png"};
         }},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(c.holds(ParseLongOptions(c.arguments))) << c.arguments[0];
}

TEST(LongOptions, StartFromBuiltInDefaults)
{
    const TScriptOptions options = ParseLongOptions({"--json", "Bilder"});
    const TConversionSettings& s = options.Settings;
    EXPECT_FALSE(s.SearchSubfolders);
    EXPECT_EQ(s.FitMode, 0);
    EXPECT_EQ(s.Rotation, 0);
    EXPECT_EQ(s.ColorDepth, 0);
    EXPECT_EQ(s.TargetFormat, 0);
    EXPECT_EQ(s.Quality, 85);
    EXPECT_TRUE(s.SaveAsCopy);
    EXPECT_FALSE(s.TextEnabled);
    EXPECT_EQ(s.Output, TOutputChoices{});
    EXPECT_EQ(s.FileTypes, DefaultFileTypes());
    EXPECT_EQ(options.Threads, 0);
}

TEST(LongOptions, RefusalsNameTheParameter)
{
    const struct {
        std::vector<std::string> arguments;
        const char* parameter;
    } cases[] = {
        {{"--width=abc"}, "--width=abc"},     {{"--width=0"}, "--width=0"},       {{"--height", "x"}, "--height x"},
        {{"--quality=101"}, "--quality=101"}, {{"--fit=auto"}, "--fit=auto"},     {{"--rotate=45"}, "--rotate=45"},
        {{"--depth=2"}, "--depth=2"},         {{"--target=xyz"}, "--target=xyz"}, {{"--types=jpg,"}, "--types=jpg,"},
        {{"--types=txt"}, "--types=txt"},     {{"--prefix=a/b"}, "--prefix=a/b"}, {{"--exists=keep"}, "--exists=keep"},
        {{"--max-kb=-1"}, "--max-kb=-1"},     {{"--threads=0"}, "--threads=0"},   {{"--widht=800"}, "--widht=800"},
        {{"--in-place=1"}, "--in-place=1"},   {{"a.jpg", "--width"}, "--width"},  {{"-x"}, "-x"},
    };
    for (const auto& c : cases) {
        try {
            ParseLongOptions(c.arguments);
            ADD_FAILURE() << c.parameter << " accepted";
        } catch (const ERefusedOption& refused) {
            EXPECT_EQ(refused.Parameter, c.parameter);
        }
    }
}

TEST(LongOptions, HelpHasOneLinePerOptionAndNoWindowsPath)
{
    const std::string help = LongOptionsHelp();
    for (const char* option : {"--width=N", "--fit=none|width|height|min|max", "--in-place", "--types=", "--threads=N",
                               "--files-from=DATEI", "--null", "--json", "--dry-run", "--max-kb=N", "--exists="})
        EXPECT_NE(help.find("\n  " + std::string(option)), std::string::npos) << option;
    for (const char* windows : {"C:", "\\", ".exe"})
        EXPECT_EQ(help.find(windows), std::string::npos) << windows;
}

TEST(NameList, SplitByLineOrNul)
{
    const struct {
        std::string list;
        bool nul;
        std::vector<std::string> names;
    } cases[] = {
        {"a.jpg\nb c.png\n", false, {"a.jpg", "b c.png"}},
        {"a.jpg\n\nü.png", false, {"a.jpg", "ü.png"}},
        {std::string("zei\nle.jpg\0b.png\0", 16), true, {"zei\nle.jpg", "b.png"}},
        {std::string("\0\0x", 3), true, {"x"}},
        {"", false, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitNameList(c.list, c.nul), c.names) << c.list;
}

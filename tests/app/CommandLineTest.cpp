#include <filesystem>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "FakeFrontEnd.h"
#include "app/CommandLine.h"
#include "app/Session.h"
#include "common/Exceptions.h"

using namespace corvalin;

TEST(Switches, ReadRules)
{
    EXPECT_TRUE(ReadFlagSwitch("/auto", "/auto"));
    EXPECT_TRUE(ReadFlagSwitch("/auto=", "/auto"));
    EXPECT_TRUE(ReadFlagSwitch("/auto=1", "/auto"));
    EXPECT_TRUE(ReadFlagSwitch("/auto:1", "/auto"));  // the separator is not examined
    EXPECT_FALSE(ReadFlagSwitch("/auto=0", "/auto"));
    // Any other value is refused rather than read by its first character.
    for (const char* value : {"/auto=10", "/auto=no", "/auto=true", "/auto= 1"})
        EXPECT_THROW(ReadFlagSwitch(value, "/auto"), EConvertError) << value;
    EXPECT_THROW(ReadFlagSwitch("/recursive=1", "/recursiv"), EConvertError);
    EXPECT_THROW(ReadFlagSwitch("/copyright=1", "/copy"), EConvertError);
    // The separator is one character, whatever its length in bytes.
    EXPECT_EQ(ReadTextSwitch("/dir\u2192/home/anna", "/dir"), "/home/anna");
    EXPECT_EQ(ReadTextSwitch("/dirä", "/dir"), "");
    EXPECT_TRUE(ReadFlagSwitch("/auto\u00a71", "/auto"));
    EXPECT_FALSE(ReadFlagSwitch("/auto\u00a70", "/auto"));
    EXPECT_TRUE(ReadFlagSwitch("/autoé", "/auto"));
    EXPECT_EQ(ReadTextSwitch("/dir=", "/dir"), "");
    EXPECT_EQ(ReadTextSwitch("/dir", "/dir"), "");
    EXPECT_EQ(ReadTextSwitch("/dir=/a b/", "/dir"), "/a b/");
    EXPECT_EQ(ReadNumberSwitch("/width=20", "/width", 1, 10000, 7), 20);
    EXPECT_EQ(ReadNumberSwitch("/width=+20", "/width", 1, 10000, 7), 20);
    EXPECT_EQ(ReadNumberSwitch("/width=0", "/width", 1, 10000, 7), 7);
    EXPECT_EQ(ReadNumberSwitch("/width=20000", "/width", 1, 10000, 7), 7);
    EXPECT_EQ(ReadNumberSwitch("/width=abc", "/width", 1, 10000, 7), 7);
    EXPECT_EQ(ReadNumberSwitch("/width=12x", "/width", 1, 10000, 7), 7);
    EXPECT_EQ(ReadNumberSwitch("/width=99999999999", "/width", 1, 10000, 7), 7);
    EXPECT_EQ(ReadNumberSwitch("/width=", "/width", 1, 10000, 7), 7);
}

class CommandLineTest : public ::testing::Test {
protected:
    FakeFrontEnd frontEnd;
    TSession session{frontEnd};

    const TConversionSettings& Parse(std::vector<std::string> parameters)
    {
        ParseCommandLine(session, parameters);
        return frontEnd.settings;
    }
};

TEST_F(CommandLineTest, EdgeCasesOfTheSwitches)
{
    struct Case {
        std::vector<std::string> parameters;
        std::function<bool(const TConversionSettings&, const TSession&)> holds;
        const char* what;
    } cases[] = {
        {{"/RECURSIV"}, [](auto& s, auto&) { return s.SearchSubfolders; }, "case ignored"},
        {{"/width=0"}, [](auto& s, auto&) { return s.Width == 400; }, "width 0 ignored"},
        {{"/width=20000"}, [](auto& s, auto&) { return s.Width == 400; }, "width too big"},
        {{"/Width=10000", "/height=1"}, [](auto& s, auto&) { return s.Width == 10000 && s.Height == 1; }, "bounds"},
        {{"/quality=0"}, [](auto& s, auto&) { return s.Quality == 85; }, "quality 0"},
        {{"/quality=100"}, [](auto& s, auto&) { return s.Quality == 100; }, "quality 100"},
        {{"/adapt=4"}, [](auto& s, auto&) { return s.FitMode == 3; }, "adapt 4 is Minimum"},
        {{"/adapt=0"}, [](auto& s, auto&) { return s.FitMode == 2; }, "adapt 0"},
        {{"/adapt=6"}, [](auto& s, auto&) { return s.FitMode == 2; }, "adapt 6"},
        {{"/rotate=4"}, [](auto& s, auto&) { return s.Rotation == 3; }, "rotate 4"},
        {{"/format=8"}, [](auto& s, auto&) { return s.TargetFormat == 7; }, "format 8 is PCX"},
        {{"/format=9"}, [](auto& s, auto&) { return s.TargetFormat == 0; }, "format 9"},
        {{"/target=png"}, [](auto& s, auto&) { return s.TargetFormat == fiPng; }, "target png"},
        {{"/format=5", "/TARGET=Keep"}, [](auto& s, auto&) { return s.TargetFormat == 0; }, "keep"},
        {{"/target=JPEG"}, [](auto& s, auto&) { return s.TargetFormat == fiJpg; }, "any name"},
        {{"/colors=7"}, [](auto& s, auto&) { return s.ColorDepth == 6; }, "colors 7"},
        {{"/dir="}, [](auto& s, auto&) { return s.Directory.empty(); }, "dir empties"},
        {{"/dir=\"/a b/c\""}, [](auto& s, auto&) { return s.Directory == "/a b/c"; }, "quotes dropped"},
        {{"/text="}, [](auto& s, auto& ss) { return !s.TextEnabled && ss.Overlay.Text.empty(); }, "text empty unticks"},
        {{"dir=x", "Bilder"}, [](auto& s, auto&) { return s == TConversionSettings{}; }, "plain words ignored"},
        {{"/text=(c) Hestrad"},
         [](auto& s, auto& ss) { return s.TextEnabled && ss.Overlay.Text == "(c) Hestrad"; },
         "text with blank"},
    };
    for (const Case& c : cases) {
        FakeFrontEnd fresh;
        TSession freshSession(fresh);
        freshSession.Overlay.Text = "vorher";
        ParseCommandLine(freshSession, c.parameters);
        EXPECT_TRUE(c.holds(fresh.settings, freshSession)) << c.what;
        EXPECT_TRUE(fresh.messages.empty()) << c.what;
        EXPECT_FALSE(freshSession.AutoConvert) << c.what;
    }
}

TEST_F(CommandLineTest, RefusedYesNoValueKeepsItsSettingAndStopsTheAutomaticRun)
{
    frontEnd.settings.FileTypes = {};
    for (const char* refused :
         {"/copy=true", "/copyright=1", "/recursive=1", "/auto=yes", "/target=xyz", "/target=", "/target=.png"}) {
        FakeFrontEnd fresh;
        TSession freshSession(fresh);
        ParseCommandLine(freshSession, {"/auto=1", refused, "/width=77"});
        EXPECT_TRUE(fresh.settings.SaveAsCopy) << refused;
        EXPECT_TRUE(fresh.settings.SearchSubfolders) << refused;
        EXPECT_EQ(fresh.settings.Width, 77) << refused;  // the other switches still count
        ASSERT_EQ(fresh.messages.size(), 1u) << refused;
        EXPECT_EQ(fresh.messages[0].rfind("Ungültiger Kommandozeilenparameter \"" +
                                              std::string(refused) + "\"\r\r", 0),
                  0u);
        EXPECT_TRUE(freshSession.ParameterRefused);
        EXPECT_FALSE(fresh.progressShown) << refused;  // no automatic run
        EXPECT_FALSE(fresh.quitRequested) << refused;
    }
}

TEST_F(CommandLineTest, AutoFlagAndHelp)
{
    frontEnd.settings.FileTypes = {};  // search nothing
    Parse({"/Auto=1"});
    EXPECT_TRUE(session.AutoConvert);
    EXPECT_TRUE(frontEnd.progressShown);  // the run took place
    EXPECT_TRUE(frontEnd.quitRequested);

    frontEnd.quitRequested = false;
    Parse({"/auto=no"});
    EXPECT_FALSE(session.AutoConvert);
    EXPECT_FALSE(frontEnd.quitRequested);

    // Help first, the automatic run still follows.
    frontEnd.progressShown = false;
    Parse({"-help", "/auto"});
    ASSERT_EQ(frontEnd.helps.size(), 1u);
    EXPECT_EQ(frontEnd.helps[0], HelpText());
    EXPECT_TRUE(frontEnd.progressShown);
    EXPECT_TRUE(frontEnd.quitRequested);
    for (const char* help : {"/?", "-?", "/HELP", "/helpme"})
        EXPECT_TRUE(IsHelpSwitch(help)) << help;
    EXPECT_FALSE(IsHelpSwitch("/hel"));
}

TEST(HelpText, LinesForLinuxEndingWithTheExample)
{
    const std::string help = HelpText();
    EXPECT_EQ(help.find('\n'), std::string::npos);
    EXPECT_EQ(help.back(), '0');
    EXPECT_EQ(help.substr(0, 11), "/?\t\t\tHilfe\r");
    EXPECT_NE(help.find("\r/quality=[1-100]\tQualität\r"), std::string::npos);
    EXPECT_NE(help.find("\r/text=\"(c) Hestrad\"\tCopyright-Text\r\r\rBeispiel:\r\rcorvalin "
                        "/auto=1 /dir=\"/home/anna/Bilder/Urlaub\" /recursiv=1 /copy=0 /adapt=4 /width=300"),
              std::string::npos);
    // Linux paths only, and every switch that takes part.
    for (const char* windows : {"C:", "c:", "\\", ".exe"})
        EXPECT_EQ(help.find(windows), std::string::npos) << windows;
    for (const char* line : {"\r/threads=[Zahl]\t", "\r/target=[keep|jpg|png|...]\t", "\r/dir=\"/home/anna/Bilder\"\t"})
        EXPECT_NE(help.find(line), std::string::npos) << line;
}

TEST_F(CommandLineTest, ThreadsSwitchChoosesTheWorkersAndIsNeverStored)
{
    const TConversionSettings before = frontEnd.settings;
    Parse({"/threads=3"});
    EXPECT_EQ(session.Threads, 3);
    for (const char* ignored : {"/threads=0", "/threads=-2", "/threads=99999999999"})
        Parse({ignored});
    EXPECT_EQ(session.Threads, 3);
    EXPECT_TRUE(frontEnd.messages.empty());
    EXPECT_TRUE(frontEnd.settings == before);
}

TEST_F(CommandLineTest, MetadataSwitchesAreReadByTheirWholeName)
{
    const struct {
        const char* parameter;
        TMetadataChoices choices;
    } cases[] = {
        {"/autoorient=0", {false, false, false, false}}, {"/AUTOORIENT", {true, false, false, false}},
        {"/strip=1", {true, true, false, false}},        {"/keepdate", {true, false, true, false}},
        {"/srgb=1", {true, false, false, true}},
    };
    for (const auto& c : cases) {
        frontEnd.settings.Metadata = {};
        Parse({c.parameter});
        EXPECT_EQ(frontEnd.settings.Metadata, c.choices) << c.parameter;
        EXPECT_FALSE(session.AutoConvert) << c.parameter;  // never read as "/auto"
        EXPECT_TRUE(frontEnd.messages.empty()) << c.parameter;
    }
    Parse({"/strip=ja"});
    EXPECT_EQ(frontEnd.messages.size(), 1u);
    EXPECT_NE(HelpText().find("\r/autoorient=[1|0]\tNach EXIF-Ausrichtung drehen\r"), std::string::npos);
}

// The stamp's switches are read as themselves, never as "/text"; a value out
// of its range is refused, not ignored.
TEST_F(CommandLineTest, StampSwitchesPlaceSizeAndFadeTheStamp)
{
    session.Overlay.Text = "(c)";
    Parse({"/textpos=7", "/textsize=12", "/opacity=40"});
    EXPECT_FALSE(session.ParameterRefused);
    EXPECT_EQ(session.Overlay.Text, "(c)");
    EXPECT_EQ(session.Overlay.Align, kAlignTopLeft);
    EXPECT_EQ(session.Overlay.RelativeSize, 12);
    EXPECT_EQ(session.Overlay.Opacity, 40);
    for (const auto& [digit, align] : {std::pair{1, 9}, {3, 10}, {5, 0}, {8, 4}, {6, 2}}) {
        Parse({"/textpos=" + std::to_string(digit)});
        EXPECT_EQ(session.Overlay.Align, align) << digit;
    }
    frontEnd.settings.TextEnabled = false;
    Parse({"/logo=zeichen.png"});
    EXPECT_TRUE(frontEnd.settings.TextEnabled);
    EXPECT_EQ(session.Overlay.Logo, std::filesystem::current_path().string() + "/zeichen.png");
    for (const char* refused : {"/textpos=0", "/textpos=x", "/textsize=-1", "/opacity=", "/opacity=101"}) {
        Parse({refused});
        EXPECT_TRUE(session.ParameterRefused) << refused;
    }
    EXPECT_EQ(session.Overlay.Opacity, 40);
}

TEST_F(CommandLineTest, ScalingSwitchesSetTheirChoiceAlone)
{
    const struct {
        std::vector<std::string> parameters;
        TScalingChoices choices;
        size_t messages;
    } cases[] = {
        {{"/smooth=1"}, {true, false}, 0},
        {{"/SHRINKONLY"}, {false, true}, 0},
        {{"/smooth=1", "/shrinkonly=1", "/smooth=0"}, {false, true}, 0},
        {{"/smooth=ja"}, {false, false}, 1},
    };
    for (const auto& c : cases) {
        FakeFrontEnd fresh;
        TSession freshSession(fresh);
        ParseCommandLine(freshSession, c.parameters);
        EXPECT_EQ(fresh.settings.Scaling, c.choices) << c.parameters[0];
        EXPECT_EQ(fresh.messages.size(), c.messages) << c.parameters[0];
    }
    EXPECT_NE(HelpText().find("\r/smooth=[1|0]\t\tGlatt skalieren\r/shrinkonly=[1|0]\tNie vergrößern\r"),
              std::string::npos);
}

TEST_F(CommandLineTest, OutputSwitchesSetTheirChoices)
{
    const struct {
        const char* parameter;
        TOutputChoices output;
    } cases[] = {
        {"/out=/srv/Aus gabe", {"/srv/Aus gabe", "Neu_", "", etReplace, 0}},
        {"/OUT=", {"", "Neu_", "", etReplace, 0}},
        {"/prefix=", {"", "", "", etReplace, 0}},
        {"/prefix=klein-", {"", "klein-", "", etReplace, 0}},
        {"/suffix=_ü", {"", "Neu_", "_ü", etReplace, 0}},
        {"/exists=skip", {"", "Neu_", "", etSkip, 0}},
        {"/exists=Number", {"", "Neu_", "", etNumber, 0}},
        {"/maxkb=500", {"", "Neu_", "", etReplace, 500}},
    };
    for (const auto& c : cases) {
        frontEnd.settings.Output = {};
        Parse({c.parameter});
        EXPECT_EQ(frontEnd.settings.Output, c.output) << c.parameter;
        EXPECT_TRUE(frontEnd.messages.empty()) << c.parameter;
    }
    EXPECT_EQ(Parse({"/exists=skip", "/maxkb=9", "/exists=REPLACE", "/maxkb=0"}).Output, TOutputChoices{});
}

// A bad value is refused like a bad yes/no value: message, no automatic run.
TEST_F(CommandLineTest, BadOutputValuesAreRefused)
{
    for (const char* refused : {"/prefix=a/b", "/suffix=\t", "/prefix=x\x7f", "/exists=", "/exists=keep", "/exists=1",
                                "/exists=skipped", "/maxkb=", "/maxkb=-1", "/maxkb=12k", "/maxkb=2097152", "/maxkb"}) {
        FakeFrontEnd fresh;
        fresh.settings.FileTypes = {};
        TSession freshSession(fresh);
        ParseCommandLine(freshSession, {"/auto=1", refused});
        EXPECT_TRUE(freshSession.ParameterRefused) << refused;
        EXPECT_EQ(fresh.settings.Output, TOutputChoices{}) << refused;
        EXPECT_EQ(fresh.messages.size(), 1u) << refused;
        EXPECT_FALSE(fresh.progressShown) << refused;
    }
    EXPECT_TRUE(IsSwitch("/maxkb=3"));
    EXPECT_TRUE(IsSwitch("/Out"));
}

// A mistyped switch or a value that is no number is refused like a bad
// yes/no value; a number outside its range stays ignored.
TEST(CommandLineRefusals, UnknownSwitchesAndMalformedNumbers)
{
    for (const char* refused : {"/widht=800", "/kopie=1", "/unknown", "/hel", "-x", "/nicht/vorhanden/Bilder",
                                "/width=abc", "/width=", "/height=12x", "/quality=hoch", "/adapt=x", "/rotate",
                                "/threads=zwei", "/threads=", "/maxmem=viel"}) {
        FakeFrontEnd fresh;
        fresh.settings.FileTypes = {};
        TSession freshSession(fresh);
        ParseCommandLine(freshSession, {"/auto=1", refused, "/width=77"});
        EXPECT_TRUE(freshSession.ParameterRefused) << refused;
        EXPECT_EQ(fresh.settings.Width, 77) << refused;
        ASSERT_EQ(fresh.messages.size(), 1u) << refused;
        EXPECT_EQ(fresh.messages[0].rfind("Ungültiger Kommandozeilenparameter \"" + std::string(refused) + "\"", 0), 0u)
            << refused;
        EXPECT_FALSE(fresh.progressShown) << refused;
    }
}

TEST(CommandLineRefusals, ExistingPathsAndLongestSwitchesAreNoTypos)
{
    const std::string file = testing::TempDir() + "/notiz.txt";
    {
        std::ofstream(file) << "x";
    }
    FakeFrontEnd frontEnd;
    TSession session(frontEnd);
    ParseCommandLine(session, {file, testing::TempDir(), "/autoorient=0", "/keepdate"});
    EXPECT_TRUE(frontEnd.messages.empty());
    EXPECT_FALSE(session.ParameterRefused);
    EXPECT_FALSE(session.AutoConvert);  // "/autoorient" is never "/auto"
    EXPECT_FALSE(frontEnd.settings.Metadata.AutoOrient);
    std::remove(file.c_str());
}

// Where results go and what they are called.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/OutputNames.h"
#include "app/RunTargets.h"
#include "common/Exceptions.h"

using namespace corvalin;

TEST(OutputNames, CopyNameTakesPrefixBeforeAndSuffixBehindTheStem)
{
    const struct {
        const char* file;
        const char* prefix;
        const char* suffix;
        const char* copy;
    } cases[] = {
        {"/B/a.jpg", "Neu_", "", "/B/Neu_a.jpg"},     {"/B/a.jpg", "", "_klein", "/B/a_klein.jpg"},
        {"/B/x.tar.tif", "p", "s", "/B/px.tars.tif"}, {"/b.d/noext", "Neu_", "_k", "/b.d/Neu_noext_k"},
        {".c.bmp", "N", "_s", "N.c_s.bmp"},           {"/B/a.jpg", "", "", "/B/a.jpg"},
        {"/B/a.jpg", "ü ", " (1)", "/B/ü a (1).jpg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeCopyName(c.file, c.prefix, c.suffix), c.copy) << c.file << c.prefix << c.suffix;
    for (const char* bad : {"a/b", "/", "a\tb", "\n", "\x7f"}) {
        EXPECT_FALSE(IsNameText(bad)) << bad;
        EXPECT_THROW(MakeCopyName("/B/a.jpg", bad, ""), EConvertError) << bad;
        EXPECT_THROW(MakeCopyName("/B/a.jpg", "", bad), EConvertError) << bad;
    }
    EXPECT_TRUE(IsNameText("Neu_ ü.-~"));
}

TEST(OutputNames, CopyNamesAreToldByPrefixAndSuffix)
{
    const struct {
        const char* name;
        const char* prefix;
        const char* suffix;
        bool copy;
    } cases[] = {
        {"Neu_a.jpg", "Neu_", "", true},    {"a.jpg", "Neu_", "", false},   {"neu_a.jpg", "Neu_", "", false},
        {"a_k.jpg", "", "_k", true},        {"a_k.x.jpg", "", "_k", false}, {"Neu_a_k.png", "Neu_", "_k", true},
        {"Neu_a.png", "Neu_", "_k", false}, {"a.jpg", "", "", false},       {"aba.jpg", "ab", "ba", false},
        {"abba.jpg", "ab", "ba", true},
    };
    for (const auto& c : cases) {
        TOutputChoices output;
        output.Prefix = c.prefix;
        output.Suffix = c.suffix;
        EXPECT_EQ(IsCopyName(c.name, output), c.copy) << c.name << " " << c.prefix << " " << c.suffix;
    }
}

TEST(OutputNames, OutputFolderRecreatesTheSearchedTree)
{
    const struct {
        const char* directory;
        const char* folder;
        bool copy;
        const char* source;
        const char* kept;
    } cases[] = {
        {"/p/Bilder", "/q/Aus", true, "/p/Bilder/Urlaub/2024/a.jpg", "/q/Aus/Urlaub/2024/Neu_a.jpg"},
        {"/p/Bilder/", "/q/Aus/", false, "/p/Bilder/Urlaub/a.jpg", "/q/Aus/Urlaub/a.jpg"},
        {"/p/Bilder", "/q/Aus", false, "/p/Bilder/a.jpg", "/q/Aus/a.jpg"},
        {"/p/Bilder", "Aus", false, "/p/Bilder/x/a.jpg", "Aus/x/a.jpg"},
        {"/p/Bilder", "/q/Aus", false, "/p/Bilderrahmen/a.jpg", "/q/Aus/a.jpg"},  // not below it
        {"/p/Bilder", "", true, "/p/Bilder/x/a.jpg", "/p/Bilder/x/Neu_a.jpg"},
        {"/p/Bilder", "", false, "/p/Bilder/x/a.jpg", "/p/Bilder/x/a.jpg"},
    };
    for (const auto& c : cases) {
        TConversionSettings settings;
        settings.Directory = c.directory;
        settings.Output.Folder = c.folder;
        settings.SaveAsCopy = c.copy;
        EXPECT_EQ(KeptName(c.source, settings), c.kept) << c.source << " into " << c.folder;
    }
    EXPECT_EQ(NumberedName("/a/Neu_b.jpg", 1), "/a/Neu_b_1.jpg");
    EXPECT_EQ(NumberedName("/a.d/noext", 12), "/a.d/noext_12");
}

// Numbered names are handed out once per run, before anything is written,
// so that two files of a run never take the same one.
TEST(RunTargets, FreeNamesAreHandedOutOnce)
{
    testsupport::TempDir dir;
    testsupport::WriteBytes(dir.File("a_2.jpg"), {1});
    TRunTargets targets;
    targets.Start({});
    EXPECT_EQ(targets.ClaimFreeName(dir.File("a.jpg")), dir.File("a.jpg"));
    EXPECT_EQ(targets.ClaimFreeName(dir.File("a.jpg")), dir.File("a_1.jpg"));
    EXPECT_EQ(targets.ClaimFreeName(dir.File("a.jpg")), dir.File("a_3.jpg"));  // a_2 exists
    targets.Finish();
    // Outside a run nothing is remembered.
    EXPECT_EQ(targets.ClaimFreeName(dir.File("a.jpg")), dir.File("a.jpg"));
    EXPECT_EQ(targets.ClaimFreeName(dir.File("a.jpg")), dir.File("a.jpg"));
}

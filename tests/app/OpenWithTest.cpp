#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sys/stat.h>

#include "FakeFrontEnd.h"
#include "TestSupport.h"
#include "app/CommandLine.h"
#include "app/OpenWith.h"
#include "app/Session.h"

using namespace corvalin;
using testsupport::TempDir;

namespace {

void Touch(const std::string& path)
{
    std::ofstream(path) << "x";
}

}  // namespace

TEST(OpenWith, FolderOrPictureFolderOtherwiseNothing)
{
    TempDir dir;
    ::mkdir(dir.File("Urlaub 2024").c_str(), 0755);
    Touch(dir.File("Urlaub 2024/IMG_1.JPG"));
    Touch(dir.File("Urlaub 2024/notes.txt"));
    const std::string folder = dir.File("Urlaub 2024/");

    EXPECT_EQ(FolderToOpen(dir.File("Urlaub 2024")), folder);
    EXPECT_EQ(FolderToOpen(dir.File("Urlaub 2024/")), folder);
    EXPECT_EQ(FolderToOpen(dir.File("Urlaub 2024/./IMG_1.JPG")), folder);
    EXPECT_EQ(FolderToOpen(dir.File("Urlaub 2024/notes.txt")), std::nullopt);
    EXPECT_EQ(FolderToOpen(dir.File("missing")), std::nullopt);
    EXPECT_EQ(FolderToOpen(""), std::nullopt);
}

// Relative names become absolute; a name that begins with a switch stays a
// switch even when such a folder exists.
TEST(OpenWith, RelativeNamesAndSwitchLookalikes)
{
    TempDir dir;
    ::mkdir(dir.File("-helpful").c_str(), 0755);
    ::mkdir(dir.File("pics").c_str(), 0755);
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    const auto relative = FolderToOpen("pics");
    const auto lookalike = FolderToOpen("-helpful");
    const auto current = FolderToOpen(".");
    ASSERT_EQ(::chdir(previous), 0);

    EXPECT_EQ(relative, dir.File("pics/"));
    EXPECT_EQ(lookalike, std::nullopt);
    EXPECT_EQ(current, dir.Path() + "/");
    for (const char* name : {"/auto=1", "/DIR=x", "/recursive", "-?", "/colors=2", "/text"})
        EXPECT_TRUE(IsSwitch(name)) << name;
    for (const char* name : {"/home/user", "/tmp/x", "-h", "--help", "Bilder"})
        EXPECT_FALSE(IsSwitch(name)) << name;
}

// The folder argument sits among switches that keep working as before.
TEST(OpenWith, AmongSwitches)
{
    TempDir dir;
    Touch(dir.File("a.png"));
    FakeFrontEnd frontEnd;
    TSession session(frontEnd);
    ParseCommandLine(session, {"/width=50", dir.File("a.png"), "/copy=0", "unknown-thing"});
    EXPECT_EQ(frontEnd.settings.Directory, dir.Path() + "/");
    EXPECT_EQ(frontEnd.settings.Width, 50);
    EXPECT_FALSE(frontEnd.settings.SaveAsCopy);
    EXPECT_TRUE(frontEnd.messages.empty());
    EXPECT_FALSE(session.AutoConvert);

    // A later /dir wins over the folder, as switches apply first to last.
    ParseCommandLine(session, {dir.Path(), "/dir=/elsewhere/"});
    EXPECT_EQ(frontEnd.settings.Directory, "/elsewhere/");
}

// A clash's reason names the source that made the target first and the
// source that is refused, so that every failure line says which file it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/RunTargets.h"
#include "common/Exceptions.h"

using namespace corvalin;

namespace {

std::string ClashReason(TRunTargets& targets, const std::string& target, const std::string& source)
{
    try {
        targets.CheckTarget(target, source, true);
    } catch (const EFCreateError& e) {
        return e.Message();
    }
    return "";
}

}  // namespace

TEST(RunTargets, AClashNamesBothSources)
{
    const std::string dir = (std::filesystem::temp_directory_path() / "corvalin-clash").string();
    std::filesystem::create_directories(dir + "/sub");
    TRunTargets targets;
    targets.Start({dir + "/a.gif", dir + "/a.png", dir + "/sub/a.jpg"});
    EXPECT_EQ(ClashReason(targets, dir + "/a.bmp", dir + "/a.gif"), "");
    targets.Written(dir + "/a.bmp", dir + "/a.gif");

    EXPECT_EQ(ClashReason(targets, dir + "/a.bmp", dir + "/a.png"),
              "Datei \"" + dir +
                  "/a.bmp\" kann nicht erstellt werden. Diese Datei wurde in diesem Lauf schon aus "
                  "a.gif erstellt; a.png wird nicht konvertiert.");
    // The same target spelt through another folder: sources not beside it as spelt keep their paths.
    EXPECT_EQ(ClashReason(targets, dir + "/sub/../a.bmp", dir + "/sub/a.jpg"),
              "Datei \"" + dir +
                  "/sub/../a.bmp\" kann nicht erstellt werden. Diese Datei wurde in diesem Lauf schon "
                  "aus " +
                  dir + "/a.gif erstellt; " + dir + "/sub/a.jpg wird nicht konvertiert.");
    targets.Finish();
    EXPECT_EQ(ClashReason(targets, dir + "/a.bmp", dir + "/a.png"), "");
    std::filesystem::remove_all(dir);
}

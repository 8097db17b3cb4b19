// Four large pictures converted headless by four workers under a small
// memory budget ("/maxmem") that holds one file: the others wait, so the
// program's peak (the kernel's high-water mark, through time(1)) stays near
// what one file needs and not four; a budget smaller than one file makes
// every file fail with the sizes.

#include <barrier>
#include <filesystem>
#include <iostream>
#include <thread>

#include <gtest/gtest.h>

#include "MeasuredRun.h"
#include "TestSupport.h"
#include "app/BatchRun.h"
#include "common/Const.h"
#include "common/Exceptions.h"
#include "common/MemoryBudget.h"
#include "common/Tools.h"

using namespace corvalin;
using testsupport::Quote;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 3000, kHeight = 2000;
// An uncompressed TIFF is read whole and decoded whole (no rows sampled):
// the file and its picture, 18 MB each; the result is small.
constexpr int64_t kFileBytes = int64_t(kWidth) * kHeight * 3;
constexpr int64_t kOneFile = 2 * kFileBytes;
const char* const kNames[] = {"erstes", "zweites", "drittes", "viertes"};

}  // namespace

class MemoryBudget : public ::testing::Test {
protected:
    TempDir dir;
    std::string pics = dir.File("Bilder");

    void SetUp() override
    {
        fs::create_directories(pics);
        const std::string first = pics + "/" + kNames[0] + ".tif";
        testsupport::ImageMagick("-size " + std::to_string(kWidth) + "x" + std::to_string(kHeight) +
                                 " gradient:orange-navy -type TrueColor -depth 8 -compress None " + Quote(first));
        for (const char* name : kNames)
            if (name != kNames[0])
                fs::copy_file(first, pics + "/" + name + ".tif");
    }

    MeasuredRun Run(const std::string& maxmem)
    {
        return RunMeasured(pics, dir.File("config"), dir.Path(), "/adapt=3 /height=100 /threads=4 /maxmem=" + maxmem);
    }
};

TEST_F(MemoryBudget, LargePicturesWaitForEachOtherAndOneTooLargeFailsWithItsSizes)
{
    // Room for one file, not for two: all convert, mostly one after the other.
    const MeasuredRun fits = Run(std::to_string((kOneFile >> 20) + 14));
    EXPECT_EQ(fits.status, 0) << fits.err;
    EXPECT_NE(fits.out.find("4 Dateien gesamt"), std::string::npos) << fits.out;
    for (const char* name : kNames)
        EXPECT_EQ(testsupport::DecodeConverted(pics + "/" + kCopyPrefix + name + ".tif").height, 100) << name;
    // Side by side the four would take four files' memory. Two files read
    // fit the budget, but not with a picture: when both wait for their
    // pictures, the later one gives up its file and is read again later.
    // The budget and 50 MB for the program and its libraries bound the run.
    const int64_t bound = (((kOneFile >> 20) + 14) << 20) + (50 << 20);
    if (kPlainBuild) {
        EXPECT_LE(fits.peakBytes, bound) << "peak " << fits.peakBytes / 1024 << " KB";
    }
    std::cout << "[ measured ] /maxmem=" << (kOneFile >> 20) + 14 << ": peak " << fits.peakBytes / 1024 << " KB, bound "
              << bound / 1024 << " KB\n";

    // A budget below one picture: each file fails alone, its reason giving both sizes.
    const MeasuredRun tooSmall = Run("30");
    EXPECT_EQ(tooSmall.status, 1);
    for (const char* name : kNames)
        EXPECT_NE(tooSmall.err.find(FailureLine(pics + "/" + name + ".tif") + " " + msg::OutOfResources +
                                    " (Die Datei braucht "),
                  std::string::npos)
            << tooSmall.err;
    EXPECT_NE(tooSmall.err.find(" MB, das Speicherbudget (maxmem) beträgt 30 MB)"), std::string::npos) << tooSmall.err;
}

// Eight such files on four workers under the same budget: files give up
// their memory again and again while others wait for their pictures, and
// every one is converted in the end, within the budget.
TEST_F(MemoryBudget, FilesThatGiveUpTheirMemoryAreConvertedLater)
{
    std::vector<std::string> names(std::begin(kNames), std::end(kNames));
    for (const char* more : {"fuenftes", "sechstes", "siebtes", "achtes"}) {
        fs::copy_file(pics + "/" + kNames[0] + ".tif", pics + "/" + more + ".tif");
        names.push_back(more);
    }
    const uint64_t budget = (kOneFile >> 20) + 14;
    const MeasuredRun run = Run(std::to_string(budget));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("8 Dateien gesamt"), std::string::npos) << run.out;
    for (const std::string& name : names)
        EXPECT_EQ(testsupport::DecodeConverted(pics + "/" + kCopyPrefix + name + ".tif").height, 100) << name;
    // The budget and 30 MB for the program: a block freed by a file that
    // gives up serves the next picture rather than lying beside it.
    const int64_t bound = int64_t(budget << 20) + (30 << 20);
    if (kPlainBuild) {
        EXPECT_LE(run.peakBytes, bound) << "peak " << run.peakBytes / 1024 << " KB";
    }
    std::cout << "[ measured ] 8 files, /maxmem=" << budget << ": peak " << run.peakBytes / 1024 << " KB\n";
}

// Two files hold 40 bytes each of a 100-byte budget and both need 40 more:
// neither can go on, so the one that began later gives up, frees its 40 and
// is tried again once the other is done. The budget is never exceeded, and
// the older file never gives up.
TEST(MemoryBudgetAccounts, WhenEveryHolderWaitsTheYoungestGivesUpAndTriesAgain)
{
    TMemoryBudget budget(100);
    std::barrier bothHold(2);
    int attempts[2] = {0, 0};
    auto convert = [&](int file, uint64_t order) {
        for (bool gaveUp = true; gaveUp;) {
            if (++attempts[file] > 1)
                budget.WaitForOlderFiles(order);
            TMemoryAccount account(budget, order);
            try {
                account.Reserve(40, "Die Datei");
                if (attempts[file] == 1)
                    bothHold.arrive_and_wait();
                account.Reserve(40, "Das Bild");
            } catch (const EGiveUpMemory&) {
            }
            gaveUp = account.GaveUp();
        }
    };
    const uint64_t older = budget.NextFileOrder(), younger = budget.NextFileOrder();
    std::thread first(convert, 0, older), second(convert, 1, younger);
    first.join();
    second.join();
    EXPECT_EQ(attempts[0], 1);
    EXPECT_EQ(attempts[1], 2);
    EXPECT_EQ(budget.Peak(), 80u);
    EXPECT_EQ(budget.Used(), 0u);
}

// Four large pictures converted headless by four workers under a small
// memory budget ("/maxmem") that holds one file: the others wait, so the
// program's peak (the kernel's high-water mark, through time(1)) stays near
// what one file needs and not four; a budget smaller than one file makes
// every file fail with the sizes.

#include <filesystem>
#include <iostream>

#include <gtest/gtest.h>

#include "MeasuredRun.h"
#include "TestSupport.h"
#include "app/BatchRun.h"
#include "common/Const.h"
#include "common/Exceptions.h"
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
        EXPECT_EQ(testsupport::DecodeWithPillow(pics + "/" + kCopyPrefix + name + ".tif").height, 100) << name;
    // Side by side the four would take four files' memory. One file, the
    // next one's file read while the first waits for its picture (the
    // oldest file is granted beyond the budget then), and 50 MB for the
    // program and its libraries bound the run.
    const int64_t bound = kOneFile + kFileBytes + (50 << 20);
    if (kPlainBuild)
        EXPECT_LE(fits.peakBytes, bound) << "peak " << fits.peakBytes / 1024 << " KB";
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

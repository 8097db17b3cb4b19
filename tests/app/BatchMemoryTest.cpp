// Large pictures converted headless by several workers at once: the peak
// resident memory of the program, measured by the kernel for the child
// process, and a file whose header claims a picture over the raster limit.

#include <algorithm>
#include <filesystem>
#include <iostream>

#include <gtest/gtest.h>

#include "MeasuredRun.h"
#include "TestSupport.h"
#include "app/BatchRun.h"
#include "app/WorkerCount.h"
#include "common/Const.h"
#include "common/Exceptions.h"
#include "common/Tools.h"

using namespace corvalin;
using testsupport::Quote;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 3000, kHeight = 2000, kResultHeight = 300;
constexpr int kJpegFiles = 4, kBmpFiles = 4;

void PutLittle(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = uint8_t(value >> (8 * i));
}

// A BMP header for 50000 x 50000 pixels at 24 bits (7.5 GB of raster),
// followed by a few bytes of pixels.
std::vector<uint8_t> OversizedBmp()
{
    std::vector<uint8_t> bytes(54 + 64, 0x40);
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutLittle(bytes, 2, uint32_t(bytes.size()));
    PutLittle(bytes, 6, 0);
    PutLittle(bytes, 10, 54);
    PutLittle(bytes, 14, 40);
    PutLittle(bytes, 18, 50000);
    PutLittle(bytes, 22, 50000);
    PutLittle(bytes, 26, 1 | (24 << 16));  // one plane, 24 bits
    for (size_t at = 30; at < 54; at += 4)
        PutLittle(bytes, at, 0);  // no compression, sizes and palette unset
    return bytes;
}

}  // namespace

class BatchMemory : public ::testing::Test {
protected:
    TempDir dir;
    std::string pics = dir.File("Bilder");
    std::string config = dir.File("config");

    void SetUp() override
    {
        fs::create_directories(pics);
        SetRegionalSeparators({",", "."});  // what the C locale of the runs gives
        const std::string jpeg = dir.File("base.jpg"), bmp = dir.File("base.bmp");
        testsupport::ImageMagick("-size " + std::to_string(kWidth) + "x" + std::to_string(kHeight) +
                                 " gradient:orange-navy -quality 90 " + Quote(jpeg));
        testsupport::ImageMagick("-size " + std::to_string(kWidth) + "x" + std::to_string(kHeight) +
                                 " gradient:teal-white -type TrueColor " + Quote("BMP3:" + bmp));
        for (int i = 0; i < kJpegFiles; ++i)
            fs::copy_file(jpeg, pics + "/foto" + std::to_string(i) + ".jpg");
        for (int i = 0; i < kBmpFiles; ++i)
            fs::copy_file(bmp, pics + "/scan" + std::to_string(i) + ".bmp");
        testsupport::WriteBytes(pics + "/riesig.bmp", OversizedBmp());
    }

    // Runs the program on the folder with fresh copies each time; the peak
    // is the kernel's high-water mark of the program's resident set.
    MeasuredRun Run(const std::string& threads)
    {
        return RunMeasured(pics, config, dir.Path(),
                           "/adapt=3 /height=" + std::to_string(kResultHeight) +
                               (threads.empty() ? "" : " /threads=" + threads));
    }

    // Every file in flight holds at most its source and its result picture,
    // one more file may wait to be started, and 30 MB cover the program,
    // its libraries and the decoders' buffers.
    static int64_t MemoryBound(int workers)
    {
        return (workers + 1) * (kSourceBytes + kResultBytes) + (30 << 20);
    }

    static constexpr int64_t kSourceBytes = int64_t(kWidth) * kHeight * 3;
    static constexpr int64_t kResultBytes = int64_t(kWidth * kResultHeight / kHeight) * kResultHeight * 3;
};

TEST_F(BatchMemory, OversizedPictureFailsAloneAndMemoryStaysBounded)
{
    const MeasuredRun one = Run("1");
    ASSERT_EQ(one.status, 1) << one.err;
    // The one failure and its reason; every other file became its copy.
    EXPECT_EQ(one.err, FailureLine(pics + "/riesig.bmp") + " " + msg::OutOfResources + "\n");
    EXPECT_NE(one.out.find(std::to_string(kJpegFiles + kBmpFiles) + " Dateien gesamt\n"),
              std::string::npos) << one.out;
    for (const char* name : {"foto0.jpg", "foto3.jpg", "scan0.bmp", "scan3.bmp"}) {
        const auto copy = testsupport::DecodeConverted(pics + "/" + kCopyPrefix + name);
        EXPECT_EQ(copy.height, kResultHeight) << name;
        EXPECT_EQ(copy.width, kWidth * kResultHeight / kHeight) << name;
    }

    const int ticked = kJpegFiles + kBmpFiles + 1;
    const int cores = std::min(AvailableCores(), ticked);
    for (const auto& [threads, workers] :
         std::vector<std::pair<std::string, int>>{{"1", 1}, {"2", 2}, {"", cores}}) {
        const int64_t bound = MemoryBound(workers);
        const MeasuredRun run = threads == "1" ? one : Run(threads);
        EXPECT_EQ(run.status, one.status) << threads;
        EXPECT_EQ(run.out, one.out) << threads;
        EXPECT_EQ(run.err, one.err) << threads;
        if (kPlainBuild) {  // a sanitizer's shadow memory is no memory of the program
            EXPECT_LE(run.peakBytes, bound) << workers << " workers, peak " << run.peakBytes / 1024 << " KB";
        }
        std::cout << "[ measured ] " << workers << " workers: peak " << run.peakBytes / 1024
                  << " KB, bound " << bound / 1024 << " KB\n";
    }
}

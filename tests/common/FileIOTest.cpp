#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "TestSupport.h"
#include "common/Exceptions.h"
#include "common/FileIO.h"

using namespace corvalin;
using namespace testsupport;

// A pipe, a device or a file beyond the cap is refused at once, before a
// byte is read: none of them may hang the run or fill the memory.
TEST(ReadWholeFile, RefusesWhatIsNoBoundedRegularFile)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("pipe.jpg").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.File("zero.png").c_str()), 0);
    WriteBytes(dir.File("ten.bmp"), std::vector<uint8_t>(10, 7));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(ReadWholeFile(dir.File("pipe.jpg")), EFOpenError);
    EXPECT_THROW(ReadWholeFile(dir.File("zero.png")), EFOpenError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_THROW(ReadWholeFile(dir.File("ten.bmp"), 9), EFOpenError);
    EXPECT_EQ(ReadWholeFile(dir.File("ten.bmp"), 10).size(), 10u);
}

TEST(AtomicFileStream, AbandonedStreamLeavesNothingAndFailuresNameTheSystemReason)
{
    TempDir dir;
    WriteBytes(dir.File("a.bmp"), {1});
    TAtomicFileStream stream(dir.File("a.bmp"));
    stream.WriteBuffer(std::vector<uint8_t>{1, 2, 3});
    // A second stream over the same name, abandoned: the first still commits.
    { TAtomicFileStream abandoned(dir.File("a.bmp")); }
    stream.Commit();
    EXPECT_EQ(ReadBytes(dir.File("a.bmp")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    try {
        TAtomicFileStream tooLong(dir.File(std::string(300, 'x')));
        tooLong.Commit();
        FAIL();
    } catch (const EStreamError& e) {
        EXPECT_NE(ReasonOf(e).find("File name too long"), std::string::npos) << ReasonOf(e);
    }
}

#include <algorithm>
#include <chrono>
#include <filesystem>

#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "AppTestUtil.h"
#include "FakeFrontEnd.h"
#include "TestSupport.h"
#include "app/BatchRun.h"
#include "app/ConversionSettings.h"
#include "app/FileWorkers.h"
#include "app/PictureSearch.h"
#include "app/Session.h"
#include "app/WorkerCount.h"
#include "common/Tools.h"

using namespace corvalin;
using testsupport::TempDir;
namespace fs = std::filesystem;

TEST(MatchesMask, WildcardsWithoutRegardToCase)
{
    EXPECT_TRUE(MatchesMask("IMG_0001.JPG", "*.jpg"));
    EXPECT_TRUE(MatchesMask(".hidden.bmp", "*.bmp"));
    EXPECT_TRUE(MatchesMask("a.b.bmp", "*.bmp"));
    EXPECT_FALSE(MatchesMask("a.jpeg", "*.jpg"));
    EXPECT_FALSE(MatchesMask("a.jpg~", "*.jpg"));
    EXPECT_FALSE(MatchesMask("a.bmp.txt", "*.bmp"));
    EXPECT_TRUE(MatchesMask("ab.gif", "a?.gif"));
    EXPECT_TRUE(MatchesMask("aä.gif", "a?.gif"));  // ? stands for one character
    EXPECT_FALSE(MatchesMask("a.gif", "a?.gif"));
    EXPECT_TRUE(MatchesMask("x", "*"));
    EXPECT_TRUE(MatchesMask("abcabd", "*ab?"));
}

class BatchRunTest : public ::testing::Test {
protected:
    TempDir dir;
    FakeFrontEnd frontEnd;
    TSession session{frontEnd};

    void SetUp() override
    {
        SetRegionalSeparators({",", "."});
        frontEnd.settings.Directory = dir.Path() + "/";
        frontEnd.settings.FitMode = 0;
        session.AutoConvert = true;
    }
    void OnlyBmp()
    {
        frontEnd.settings.FileTypes = {};
        frontEnd.settings.FileTypes[0] = true;
    }
};

TEST_F(BatchRunTest, SearchFindsHiddenFilesButSkipsDotFoldersAndLinks)
{
    fs::create_directories(dir.File("sub/deeper"));
    fs::create_directories(dir.File(".versteckt"));
    WriteSolidBmp(dir.File("b.bmp"), 2, 2);
    WriteSolidBmp(dir.File(".a.BMP"), 2, 2);
    WriteSolidBmp(dir.File("sub/deeper/c.bmp"), 2, 2);
    WriteSolidBmp(dir.File(".versteckt/d.bmp"), 2, 2);
    fs::create_directory_symlink(dir.File("sub"), dir.File("link"));
    fs::create_symlink(dir.File("b.bmp"), dir.File("zlink.bmp"));
    fs::create_directory(dir.File("ordner.bmp"));  // a folder never counts as a file

    SearchPictures(session, dir.Path(), "*.bmp");
    std::vector<std::string> found;
    for (auto& entry : frontEnd.selection)
        found.push_back(entry.first);
    EXPECT_EQ(found, (std::vector<std::string>{dir.File(".a.BMP"), dir.File("b.bmp"),
                                               dir.File("zlink.bmp"),
                                               dir.File("sub/deeper/c.bmp")}));
    frontEnd.selection.clear();
    frontEnd.settings.SearchSubfolders = false;
    SearchPictures(session, dir.Path() + "/", "*.bmp");
    EXPECT_EQ(frontEnd.selection.size(), 3u);
}

TEST_F(BatchRunTest, MissingFolderShowsOneMessageForAllTickedTypes)
{
    frontEnd.settings.Directory = dir.File("fehlt");
    btnConvertClick(session);
    ASSERT_EQ(frontEnd.messages.size(), 1u);
    EXPECT_EQ(frontEnd.messages[0], "Das Verzeichnis \"" + dir.File("fehlt") + "/\" existiert nicht!");
    // The types are searched in the list's alphabetical order; one slash
    // joins the folder and the mask.
    EXPECT_EQ(frontEnd.LineTexts()[0], "Suche " + ShortenPath(dir.File("fehlt/"), 50) + FileTypeEntries()[0]);
    EXPECT_TRUE(frontEnd.LineTexts()[1].ends_with("/fehlt/" + FileTypeEntries()[1]));
    // The next search says it again.
    btnConvertClick(session);
    EXPECT_EQ(frontEnd.messages.size(), 2u);
    EXPECT_EQ(frontEnd.lines.back().text, FormatByteSize(0) + " nachher");
    EXPECT_EQ(frontEnd.labels[0], "0 Dateien");
}

TEST_F(BatchRunTest, ResultListAndSummary)
{
    WriteSolidBmp(dir.File("b.bmp"), 10, 10);
    WriteSolidBmp(dir.File("a.ico"), 4, 4);
    frontEnd.settings.FileTypes = {};
    frontEnd.settings.FileTypes[0] = frontEnd.settings.FileTypes[2] = true;  // bmp, ico
    btnConvertClick(session);

    const int64_t bmp = fs::file_size(dir.File("b.bmp"));
    const int64_t ico = fs::file_size(dir.File("a.ico"));
    const std::string d = dir.Path() + "/";
    const std::vector<std::string> expected = {
        "Suche " + ShortenPath(d, 50) + "*.bmp",
        "Suche " + ShortenPath(d, 50) + "*.ico",
        kSeparatorLine,
        "",
        ShortenPath(d + "Neu_b.bmp", 40) + ": " + FormatByteSize(bmp) + " ==> " + FormatByteSize(bmp),
        ShortenPath(d + "Neu_a.ico", 40) + ": " + FormatByteSize(ico) + " ==> " + FormatByteSize(ico),
        kSeparatorLine,
        "",
        "Zusammenfassung:",
        "",
        "2 Dateien gesamt",
        FormatByteSize(bmp + ico) + " vorher",
        FormatByteSize(bmp + ico) + " nachher",
    };
    EXPECT_EQ(frontEnd.LineTexts(), expected);
    EXPECT_EQ(frontEnd.labels[0], "2 Dateien");
    EXPECT_EQ(session.LastRun.failed, 0);
    EXPECT_FALSE(frontEnd.progressVisible);
    EXPECT_TRUE(frontEnd.quitRequested);
    // The overlay record went through the dialog: font set, alignment normalised.
    EXPECT_EQ(session.Overlay.Font, &frontEnd.overlayFont);
}

TEST_F(BatchRunTest, FailuresKeepTheirReasonAndTheRunGoesOn)
{
    OnlyBmp();
    testsupport::WriteBytes(dir.File("a.bmp"), {'B', 'M', 0});
    WriteSolidBmp(dir.File("b.bmp"), 3, 3);
    btnConvertClick(session);
    // An entry that cannot even be measured (its name is too long to examine).
    frontEnd.selection.insert(frontEnd.selection.begin(), {dir.File(std::string(300, 'x') + ".bmp"), true});
    frontEnd.lines.clear();
    RunConversion(session);

    const auto texts = frontEnd.LineTexts();
    ASSERT_EQ(texts.size(), 12u);
    EXPECT_EQ(texts[2], ShortenPath(dir.File(std::string(300, 'x') + ".bmp"), 40) +
                            " konnte nicht konvertiert werden!");
    EXPECT_FALSE(frontEnd.lines[2].reason.empty());
    EXPECT_EQ(texts[3], ShortenPath(dir.File("a.bmp"), 40) + " konnte nicht konvertiert werden!");
    EXPECT_FALSE(frontEnd.lines[3].reason.empty());
    EXPECT_NE(texts[4].find("Neu_b.bmp: "), std::string::npos);
    EXPECT_TRUE(frontEnd.lines[4].reason.empty());
    EXPECT_EQ(texts[9], "1 Dateien gesamt");
    // The failed corrupt file counts towards the bytes before only.
    EXPECT_EQ(session.LastRun.bytesBefore, 3 + int64_t(fs::file_size(dir.File("b.bmp"))));
    EXPECT_EQ(session.LastRun.failed, 2);
}

TEST_F(BatchRunTest, ClosingTheProgressWindowStopsBetweenFiles)
{
    OnlyBmp();
    for (const char* name : {"1.bmp", "2.bmp", "3.bmp", "4.bmp", "5.bmp"})
        WriteSolidBmp(dir.File(name), 2, 2);
    int delivered = 0;
    frontEnd.onProcessMessages = [&delivered](FakeFrontEnd& fe) {
        if (++delivered == 3)
            fe.progressVisible = false;  // the user presses "Abbrechen" during file 3
    };
    btnConvertClick(session);
    EXPECT_TRUE(fs::exists(dir.File("Neu_3.bmp")));
    EXPECT_FALSE(fs::exists(dir.File("Neu_4.bmp")));
    EXPECT_EQ(session.LastRun.converted, 3);
    EXPECT_EQ(frontEnd.lines.back().text.find(" nachher") != std::string::npos, true);
}

TEST_F(BatchRunTest, CancelWithSeveralWorkersFinishesTheFilesUnderWay)
{
    OnlyBmp();
    for (int i = 10; i < 22; ++i)
        WriteSolidBmp(dir.File(std::to_string(i) + ".bmp"), 300, 200);
    session.Threads = 3;
    // "Abbrechen" while the second file is under way, the first maybe too.
    frontEnd.onProcessMessages = [](FakeFrontEnd& fe) {
        if (fe.positions.size() == 2)
            fe.progressVisible = false;
    };
    btnConvertClick(session);
    ASSERT_EQ(frontEnd.positions, (std::vector<int>{1, 2}));
    const auto texts = frontEnd.LineTexts();
    // Search lines and separator, two file lines, the cancel line, the summary.
    ASSERT_EQ(texts.size(), 3u + 2u + 1u + 7u);
    EXPECT_EQ(texts[3 + 2], "Abgebrochen nach 2 von 12 Dateien");
    for (int i = 10; i < 22; ++i) {
        const std::string copy = dir.File("Neu_" + std::to_string(i) + ".bmp");
        EXPECT_EQ(fs::exists(copy), i < 12) << copy;
        if (i < 12) {
            EXPECT_EQ(texts[size_t(3 + i - 10)].rfind(ShortenPath(copy, 40) + ": ", 0), 0u) << copy;
        }
    }
    EXPECT_EQ(session.LastRun.converted, 2);
    EXPECT_EQ(texts[3 + 2 + 1 + 4], "2 Dateien gesamt");
}

TEST(FileWorkers, RunBelowThePriorityOfTheThreadThatStartsThem)
{
    const int starter = getpriority(PRIO_PROCESS, gettid());
    TFileWorkers workers(2);
    std::vector<uint64_t> tickets;
    for (int i = 0; i < 3; ++i)
        tickets.push_back(workers.Start([] {
            TFileResult result;
            result.after = getpriority(PRIO_PROCESS, gettid());
            return result;
        }));
    for (uint64_t ticket : tickets) {
        while (!workers.Finished(ticket))
            workers.WaitForFinish(std::chrono::milliseconds(10));
        EXPECT_EQ(workers.Take(ticket).after, std::min(starter + kWorkerNiceStep, 19));
    }
    // The thread that started them keeps its own priority.
    EXPECT_EQ(getpriority(PRIO_PROCESS, gettid()), starter);
}

TEST_F(BatchRunTest, UntickedEntriesAreSkippedAndSettingsAreReadPerFile)
{
    OnlyBmp();
    for (const char* name : {"1.bmp", "2.bmp", "3.bmp"})
        WriteSolidBmp(dir.File(name), 20, 10);
    session.AutoConvert = false;
    btnConvertClick(session);
    EXPECT_TRUE(frontEnd.selectionShown);
    frontEnd.selection[1].second = false;
    // Switch to "Breite" 10 while the first file is under way.
    frontEnd.onProcessMessages = [](FakeFrontEnd& fe) {
        fe.settings.FitMode = 1;
        fe.settings.Width = 10;
    };
    frontEnd.settings.FitMode = 0;
    RunConversion(session);
    EXPECT_EQ(frontEnd.positions, (std::vector<int>{1, 3}));  // the bar jumps
    EXPECT_FALSE(fs::exists(dir.File("Neu_2.bmp")));
    TBitmapEx third;
    third.LoadFromFileEx(dir.File("Neu_3.bmp"));
    EXPECT_EQ(third.Width(), 10);
    EXPECT_FALSE(frontEnd.quitRequested);
}

TEST_F(BatchRunTest, SkippedFileCountsAsConverted)
{
    OnlyBmp();
    WriteSolidBmp(dir.File("a.bmp"), 2, 2);
    frontEnd.settings.Width = 0;
    btnConvertClick(session);
    const int64_t size = fs::file_size(dir.File("a.bmp"));
    EXPECT_EQ(frontEnd.lines[3].text, ShortenPath(dir.File("a.bmp"), 40) + ": " +
                                          FormatByteSize(size) + " ==> " + FormatByteSize(size));
    EXPECT_EQ(session.LastRun.converted, 1);
    EXPECT_FALSE(fs::exists(dir.File("Neu_a.bmp")));
}

TEST(WorkerCount, CpuMaxQuotaRoundsUp)
{
    EXPECT_EQ(CoresOfCpuMax("max 100000"), 0);
    EXPECT_EQ(CoresOfCpuMax("150000 100000"), 2);
    EXPECT_EQ(CoresOfCpuMax("50000 100000"), 1);
    EXPECT_EQ(CoresOfCpuMax("400000 100000\n"), 4);
    EXPECT_EQ(CoresOfCpuMax(""), 0);
    EXPECT_GE(AvailableCores(), 1);
}

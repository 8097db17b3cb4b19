// Output of a run without windows: one line feed per line break.
#include <cstdio>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/ConsoleFrontEnd.h"

namespace {

std::string Contents(std::FILE* file)
{
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        text += char(c);
    return text;
}

}  // namespace

TEST(ConsoleFrontEnd, EveryLineBreakOfAMessageIsOneLineFeed)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), std::fclose);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> err(std::tmpfile(), std::fclose);
    ASSERT_TRUE(out && err);
    corvalin::TConsoleFrontEnd frontEnd(out.get(), err.get());
    frontEnd.ShowMessage("eins\r\nzwei\rdrei\r\n\r\nvier");
    frontEnd.ShowHelp("a\rb");
    frontEnd.AddResultLine("x.bmp konnte nicht konvertiert werden!", "Grund\r\nmit Zeilen");
    EXPECT_EQ(Contents(err.get()),
              "eins\nzwei\ndrei\n\nvier\nx.bmp konnte nicht konvertiert werden! Grund\nmit Zeilen\n");
    EXPECT_EQ(Contents(out.get()), "a\nb\nx.bmp konnte nicht konvertiert werden!\n");
}

TEST(ConsoleFrontEnd, ProgressLineIsTakenAwayAroundOtherOutputAndAtTheEnd)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), std::fclose);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> err(std::tmpfile(), std::fclose);
    ASSERT_TRUE(out && err);
    corvalin::TConsoleFrontEnd frontEnd(out.get(), err.get());
    frontEnd.SetProgressMaximum(2);  // no progress line asked for: nothing drawn
    frontEnd.ReportFile({});
    frontEnd.CloseProgress();
    EXPECT_EQ(Contents(err.get()), "");

    frontEnd.ShowProgressLine();
    frontEnd.SetProgressMaximum(2);
    frontEnd.ReportFile({});
    frontEnd.ShowMessage("Meldung");
    frontEnd.ReportFile({});
    frontEnd.CloseProgress();
    frontEnd.ShowMessage("danach");
    const std::string drawn = Contents(err.get());
    EXPECT_EQ(drawn.rfind("\r\033[K0 von 2 Dateien", 0), 0u) << drawn;
    EXPECT_NE(drawn.find("\r\033[KMeldung\n\r\033[K1 von 2 Dateien"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("\r\033[K2 von 2 Dateien"), std::string::npos) << drawn;
    EXPECT_EQ(drawn.substr(drawn.size() - 11), "\r\033[Kdanach\n") << drawn;
    EXPECT_EQ(Contents(out.get()), "");
}

TEST(ProgressLine, CountsRateAndTimeLeft)
{
    const struct {
        int done, total;
        double seconds;
        const char* text;
    } cases[] = {
        {0, 10, 0.0, "0 von 10 Dateien"},
        {3, 10, 2.0, "3 von 10 Dateien, 1,5 Dateien/s, noch 0:05"},
        {10, 10, 4.0, "10 von 10 Dateien, 2,5 Dateien/s"},
        {1, 10000, 1.0, "1 von 10000 Dateien, 1,0 Dateien/s, noch 2:46:39"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(corvalin::TProgressLine::Text(c.done, c.total, c.seconds), c.text);
}

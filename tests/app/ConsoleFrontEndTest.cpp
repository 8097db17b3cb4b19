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

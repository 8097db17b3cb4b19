#include <gtest/gtest.h>

#include <cmath>

#include "common/Tools.h"

using namespace corvalin;

TEST(InsertThousandSeparators, GroupsTheIntegerPartOnly)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"0", "0"}, {"100", "100"}, {"999", "999"}, {"1000", "1.000"},
        {"1234567", "1.234.567"}, {"1234,5", "1.234,5"}, {"12345678,25", "12.345.678,25"}};
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(InsertThousandSeparators(input), expected) << input;
}

TEST(MinMaxValue, ReturnTheSecondOnEqualArguments)
{
    EXPECT_EQ(MinValue(1, 2), 1);
    EXPECT_EQ(MaxValue(1, 2), 2);
    const double zero = 0.0, negativeZero = -0.0;
    EXPECT_TRUE(std::signbit(MinValue(zero, negativeZero)));
    EXPECT_FALSE(std::signbit(MaxValue(negativeZero, zero)));
}

TEST(FormatByteSize, GermanSeparators)
{
    SetRegionalSeparators({",", "."});
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0,00 Bytes"},          {500, "500,00 Bytes"},    {1024, "1.024,00 Bytes"},
        {1025, "1,00 KB"},          {1536, "1,50 KB"},        {1048576, "1.024,00 KB"},
        {1048577, "1,00 MB"},       {2147483647, "2,00 GB"},  {-5, "-5,00 Bytes"},
        {int64_t(5) << 40, "5,00 TB"}, {int64_t(1) << 50, "1.024,00 TB"}};
    for (const auto& [size, expected] : cases)
        EXPECT_EQ(FormatByteSize(size), expected) << size;
}

TEST(FormatByteSize, SizesBeyondTerabytesAreTooLarge)
{
    SetRegionalSeparators({",", "."});
    EXPECT_EQ(FormatByteSize((int64_t(1) << 50) + 1), "Wert zu groß");
    EXPECT_EQ(FormatByteSize(INT64_MAX), "Wert zu groß");
}

TEST(FormatByteSize, EnglishSeparators)
{
    SetRegionalSeparators({".", ","});
    EXPECT_EQ(FormatByteSize(1024), "1,024.00 Bytes");
    EXPECT_EQ(FormatByteSize(1536), "1.50 KB");
    SetRegionalSeparators({",", "."});
}

TEST(ShortenPath, CutsAtAFolderBoundary)
{
    const std::string path = "/Bilder/Urlaub/2004/strand.jpg";  // 30 characters
    EXPECT_EQ(ShortenPath(path, 40), path);
    EXPECT_EQ(ShortenPath(path, 30), path);
    EXPECT_EQ(ShortenPath(path, 29), ".../Urlaub/2004/strand.jpg");
    EXPECT_EQ(ShortenPath(path, 18), ".../2004/strand.jpg");
    EXPECT_EQ(ShortenPath(path, 10), "...strand.jpg");
}

TEST(ShortenPath, CountsCharactersNotBytes)
{
    const std::string path = "/Bilder/Übersicht/Öl.jpg";  // 24 characters, 26 bytes
    EXPECT_EQ(ShortenPath(path, 24), path);
    EXPECT_EQ(ShortenPath(path, 23), ".../Übersicht/Öl.jpg");
    EXPECT_EQ(ShortenPath(path, 6), "...Öl.jpg");
    EXPECT_EQ(ShortenPath(path, 5), "...l.jpg");
}

TEST(StartsWithText, IgnoresTheCaseOfAsciiLettersOnly)
{
    EXPECT_TRUE(StartsWithText("/DIR=x", "/dir="));
    EXPECT_FALSE(StartsWithText("/di", "/dir="));
    EXPECT_FALSE(StartsWithText("Ä", "ä"));
    EXPECT_TRUE(StartsWithText("anything", ""));
}

TEST(CurrentDirectory, HasNoTrailingSlash)
{
    const std::string dir = CurrentDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.front(), '/');
    if (dir != "/") {
        EXPECT_NE(dir.back(), '/');
    }
}

// The helps name every switch and long option the manual pages describe, and
// no other: a line dropped from a help, or an option added without one, shows.
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/GnuOptions.h"

using namespace corvalin;

namespace {

// The names a pattern finds in the manual's macro lines (.B, .BI, .BR), which
// head the description of each option.
std::set<std::string> ManualNames(const std::string& page, const std::regex& name)
{
    std::ifstream in(std::string(CORVALIN_SOURCE_DIR) + "/" + page);
    EXPECT_TRUE(in) << page;
    std::set<std::string> names;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(".B", 0) != 0)
            continue;
        for (std::sregex_iterator it(line.begin(), line.end(), name), end; it != end; ++it)
            if (!IsHelpSwitch((*it)[1].str()))
                names.insert((*it)[1].str());
    }
    return names;
}

// The names a pattern finds at the start of the lines of a help.
std::set<std::string> HelpNames(const std::string& help, char lineEnd, const std::regex& name)
{
    std::set<std::string> names;
    std::istringstream in(help);
    std::smatch found;
    for (std::string line; std::getline(in, line, lineEnd);)
        if (std::regex_search(line, found, name, std::regex_constants::match_continuous) &&
            !IsHelpSwitch(found[1].str()))
            names.insert(found[1].str());
    return names;
}

const char* const kPages[] = {"data/man/corvalin.1", "data/man/corvalin.en.1"};

}  // namespace

TEST(HelpText, NamesTheSwitchesOfTheManualAndOnlySwitchesTheProgramReads)
{
    const std::set<std::string> help = HelpNames(HelpText(), '\r', std::regex("(/[a-z]+)[=\t]"));
    ASSERT_FALSE(help.empty());
    for (const std::string& name : help)
        EXPECT_TRUE(IsSwitch(name)) << name;
    for (const char* page : kPages)
        EXPECT_EQ(ManualNames(page, std::regex("(?:^\\.B[IR]? |[ \"])(/[a-z]+)=")), help) << page;
}

TEST(LongOptions, HelpNamesTheLongOptionsOfTheManual)
{
    const std::set<std::string> help = HelpNames(LongOptionsHelp(), '\n', std::regex(" +(--[a-z-]+)"));
    ASSERT_FALSE(help.empty());
    for (const char* page : kPages) {
        std::set<std::string> manual;
        // The manual writes every hyphen as \-.
        for (std::string name : ManualNames(page, std::regex("\\\\-\\\\-([a-z]+(?:\\\\?-[a-z]+)*)"))) {
            std::erase(name, '\\');
            manual.insert("--" + name);
        }
        EXPECT_EQ(manual, help) << page;
    }
}

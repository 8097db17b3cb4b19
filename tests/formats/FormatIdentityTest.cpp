// The format table is the one description of the formats: the data files
// that describe the program to the desktop and the manual pages follow it.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "app/ConversionSettings.h"
#include "formats/FormatTable.h"

using namespace corvalin;

namespace {

std::string SourceText(const std::string& relative)
{
    std::ifstream in(std::string(CORVALIN_SOURCE_DIR) + "/" + relative);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> TableMimeTypes()
{
    std::set<std::string> types;
    for (const TFormatRow& row : FormatTable) {
        std::stringstream list{std::string(row.MimeTypes)};
        for (std::string type; std::getline(list, type, ';');)
            types.insert(type);
    }
    return types;
}

std::set<std::string> Matches(const std::string& text, const std::string& pattern)
{
    std::set<std::string> found;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        found.insert((*it)[1]);
    return found;
}

}  // namespace

TEST(FormatIdentity, DesktopEntryAndAppStreamListTheTablesMimeTypes)
{
    const std::string desktop = SourceText("data/example.hestrad.Corvalin.desktop");
    std::smatch line;
    ASSERT_TRUE(std::regex_search(desktop, line, std::regex("MimeType=(.*)")));
    std::string expected = "inode/directory;";
    for (const TFormatRow& row : FormatTable)
        expected += row.MimeTypes;
    EXPECT_EQ(line[1].str(), expected);

    const std::string appStream = SourceText("data/example.hestrad.Corvalin.metainfo.xml.in");
    EXPECT_EQ(Matches(appStream, "<mediatype>([^<]*)</mediatype>"), TableMimeTypes());
}

TEST(FormatIdentity, ManualPagesListEveryFileTypeAndEveryTarget)
{
    for (const char* page : {"data/man/corvalin.1", "data/man/corvalin.en.1"}) {
        const std::string text = SourceText(page);
        std::set<std::string> keys;
        for (const TFormatRow& row : FormatTable)
            keys.insert(std::string(row.Extension));
        EXPECT_EQ(Matches(text, "\"? \\*\\.([a-z]+) \"?"), keys) << page;
        for (const TFormatRow& row : FormatTable)
            EXPECT_TRUE(!row.UsesQuality || text.find(std::string(row.Description)) != std::string::npos)
                << page << ": " << row.Description;
    }
}

TEST(FormatIdentity, SignaturesChooseTheirRow)
{
    using Bytes = std::vector<uint8_t>;
    auto text = [](std::string_view s) { return Bytes(s.begin(), s.end()); };
    const std::pair<Bytes, int> cases[] = {
        {text("\x89PNG\r\n\x1a\n...."), fiPng},
        {text("GIF89a.."), fiGif},
        {text("BM......"), fiBmp},
        {text(std::string_view("RIFF\x10\0\0\0WEBPVP8 ", 16)), fiWebp},
        {text(std::string_view("RIFF\x10\0\0\0WAVEfmt ", 16)), fiUnknown},
        {text(std::string_view("\0\0\0\x18"
                               "ftypheic\0\0\0\0mif1heic",
                               24)),
         fiHeic},
        // A compatible brand is enough.
        {text(std::string_view("\0\0\0\x18"
                               "ftypXXXX\0\0\0\0abcdheix",
                               24)),
         fiHeic},
        {text(std::string_view("\0\0\0\x14"
                               "ftypavif\0\0\0\0avis",
                               20)),
         fiAvif},
        // A brand beyond the box's declared size does not count.
        {text(std::string_view("\0\0\0\x10"
                               "ftypisom\0\0\0\0avif",
                               20)),
         fiUnknown},
        {text(std::string_view("\0\0\0\x18"
                               "ftypisom\0\0\0\0mp41avc1",
                               24)),
         fiUnknown},
        {text("\xff\x0a\x01\x02"), fiJxl},
        {text(std::string_view("\0\0\0\x0cJXL \r\n\x87\n", 12)), fiJxl},
        {text("\xff\xd8\xff\xe0"), fiJpg},
        {text("\xff\x0b"), fiUnknown},
        {{}, fiUnknown},
    };
    for (const auto& [bytes, index] : cases) {
        const bool usable = index == fiUnknown || IsUsable(FormatRow(index));
        EXPECT_EQ(FormatIndexOfContent(bytes), usable ? index : int(fiUnknown))
            << std::string(bytes.begin(), bytes.end());
    }
}

TEST(FormatIdentity, EveryNameOfARowFindsItAndTheTargetSwitchFollows)
{
    const std::pair<const char*, int> names[] = {
        {"a.HEIF", fiHeic}, {"a.hif", fiHeic}, {"a.heic", fiHeic}, {"a.avif", fiAvif},    {"a.webp", fiWebp},
        {"a.jxl", fiJxl},   {"a.jpeg", fiJpg}, {"a.tiff", fiTif},  {"a.jfif", fiUnknown}, {"a.emf", fiUnknown}};
    for (const auto& [name, index] : names)
        EXPECT_EQ(FormatIndexOfName(name), index) << name;

    auto writable = [](int index) { return FormatRow(index).Save != nullptr; };
    const std::pair<const char*, std::optional<int32_t>> targets[] = {
        {"keep", 0},           {"KEEP", 0},        {"webp", fiWebp},       {"HEIF", fiHeic},
        {"avif", fiAvif},      {"jxl", fiJxl},     {"jpeg", fiJpg},        {"bmp", fiBmp},
        {"xyz", std::nullopt}, {"", std::nullopt}, {".png", std::nullopt}, {"a/b.png", std::nullopt}};
    for (const auto& [extension, target] : targets) {
        const bool known = target && (*target == 0 || writable(*target));
        EXPECT_EQ(TargetFormatOfExtension(extension), known ? target : std::nullopt) << extension;
    }
}

TEST(FormatIdentity, ListsFollowTheRowsInTheirOrder)
{
    const std::vector<std::string>& targets = TargetFormatEntries();
    // "Keine Änderung" first, then every row's caption naming its extension.
    ASSERT_EQ(targets.size(), size_t(kFormatCount + 1));
    EXPECT_EQ(targets[0], "Keine Änderung");
    for (int i = 1; i <= kFormatCount; ++i) {
        std::string extension = FormatExtension(i);
        std::transform(extension.begin(), extension.end(), extension.begin(), ::toupper);
        EXPECT_EQ(targets[size_t(i)], "Nach " + extension + " konvertieren") << i;
    }

    // Only readable types are listed, alphabetically, and ticked by default.
    const std::vector<std::string>& types = FileTypeEntries();
    EXPECT_TRUE(std::is_sorted(types.begin(), types.end()));
    const TConversionSettings defaults;
    for (int i = 1; i <= kFormatCount; ++i) {
        const bool listed = std::find(types.begin(), types.end(), "*." + FormatExtension(i)) != types.end();
        EXPECT_EQ(listed, IsUsable(FormatRow(i))) << i;
        EXPECT_EQ(defaults.FileTypes[size_t(i - 1)], listed) << i;
    }
}

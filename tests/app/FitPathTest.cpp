#include <gtest/gtest.h>

#include "app/FitPath.h"
#include "overlay/OverlaySettings.h"
#include "picture/TextRenderer.h"

using namespace corvalin;

namespace {

int Characters(const std::string& text)
{
    return int(text.size());
}

}  // namespace

TEST(FitPathToWidth, DropsLeadingFoldersStepByStep)
{
    const std::string path = "/Bilder/Urlaub/2004/foto.jpg";
    const std::vector<std::pair<int, std::string>> steps = {
        {100, "/Bilder/Urlaub/2004/foto.jpg"},
        {27, "/.../Urlaub/2004/foto.jpg"},
        {24, "/.../2004/foto.jpg"},
        {17, "/.../foto.jpg"},
        {12, ".../foto.jpg"},
        {11, "foto.jpg"},
        {1, "foto.jpg"},  // the name is never shortened
    };
    for (const auto& [width, expected] : steps)
        EXPECT_EQ(FitPathToWidth(path, Characters, width), expected) << width;
    EXPECT_EQ(FitPathToWidth("Bilder/a/x.jpg", Characters, 10), ".../x.jpg");
    EXPECT_EQ(FitPathToWidth("x.jpg", Characters, 1), "x.jpg");
    EXPECT_EQ(FitPathToWidth("/x.jpg", Characters, 1), "x.jpg");
}

TEST(FitPathToWidth, MeasuresWithTheFont)
{
    const TFont font;
    const std::string path = "/home/benutzer/Bilder/Urlaub/2004/IMG_0001.jpg";
    const std::string fitted = FitPathToWidth(path, font, 200);
    EXPECT_LE(MeasureText(fitted, font).width, 200);
    EXPECT_GT(MeasureText(path, font).width, 200);
    EXPECT_TRUE(fitted.ends_with("/IMG_0001.jpg"));
}

TEST(OverlaySettings, TransferNormalisesAlignmentAndSuppliesTheFont)
{
    const TFont font;
    TOverlayControls controls;
    // One flag on an axis places the text at that edge; none or both centre it.
    for (auto [stored, expected] : {std::pair{12, 0}, {4, 4}, {9, 9}, {5, 5}, {0, 0}, {8, 8}, {15, 0}, {22, 6}}) {
        TCopyrightText record{"Text", -10, stored, nullptr};
        LoadOverlaySettings(controls, record);
        EXPECT_EQ(controls.Position, expected);
        StoreOverlaySettings(controls, &font, record);
        EXPECT_EQ(record.Align, expected) << stored;
        EXPECT_EQ(record.Border, -10);
        EXPECT_EQ(record.Text, "Text");
        EXPECT_EQ(record.Font, &font);
    }
    for (const char* text : {"", "-", "abc", "1.5"})
        EXPECT_EQ(BorderValue(text), 0) << text;
    EXPECT_EQ(BorderValue("-2147483648"), -2147483647 - 1);
}

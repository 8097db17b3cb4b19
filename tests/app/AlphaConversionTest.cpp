#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/ConvertPicture.h"
#include "app/RunTargets.h"
#include "overlay/CopyrightText.h"

using namespace corvalin;
using namespace testsupport;

namespace {

constexpr int kWidth = 48, kHeight = 32;

// A logo as a user has it: black text on a transparent background, whose
// hidden colour is black as well.
void MakeLogo(const std::string& path, const std::string& format)
{
    Pillow(
        "from PIL import ImageDraw\n"
        "im = Image.new('RGBA', (48, 32), (0, 0, 0, 0))\n"
        "d = ImageDraw.Draw(im)\n"
        "d.rectangle((6, 6, 30, 20), fill=(0, 0, 0, 255))\n"
        "d.rectangle((32, 6, 44, 26), fill=(200, 40, 20, 90))\n"
        "im.save('" +
        path + "'" + (format == "gif" ? ", transparency=0" : "") + ")");
}

std::string Convert(std::string path, int width = kWidth, int height = kHeight,
                    const std::optional<TFont>& font = std::nullopt)
{
    TConversionSettings settings;
    settings.TargetFormat = 0;
    settings.FitMode = width == kWidth ? 0 : 1;
    settings.Width = width;
    settings.Height = height;
    settings.ColorDepth = 0;
    settings.SaveAsCopy = false;
    TOverlaySnapshot overlay{"Ag", 2, kAlignTopLeft, font};
    TRunTargets targets;
    ConvertFile(path, settings, overlay, targets, nullptr);
    return path;
}

}  // namespace

// In place with the format kept, PNG and GIF keep their transparency.
TEST(AlphaConversion, InPlaceWithTheFormatKeptKeepsTransparency)
{
    for (const char* format : {"png", "gif"}) {
        TempDir dir;
        const std::string path = dir.File(std::string("logo.") + format);
        MakeLogo(path, format);
        const RgbaPicture before = DecodeRgbaWithPillow(path);
        Convert(path);
        const RgbaPicture after = DecodeRgbaWithPillow(path);
        ASSERT_EQ(after.width, kWidth) << format;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const uint8_t* b = before.At(x, y);
                const uint8_t* a = after.At(x, y);
                ASSERT_EQ(a[3], b[3]) << format << " " << x << "," << y;
                if (b[3] == 255 && std::string(format) == "png") {
                    ASSERT_TRUE(std::equal(a, a + 3, b)) << x << "," << y;
                }
            }
    }
}

// Scaled and stamped: the stamp is opaque, the rest keeps its alpha.
TEST(AlphaConversion, ScaledLogoWithTextKeepsAlphaAroundTheStamp)
{
    TempDir dir;
    const std::string source = dir.File("logo.png");
    MakeLogo(source, "png");
    TFont font;
    font.Height = -12;
    font.Color = RGB(255, 255, 255);
    const std::string target = Convert(source, kWidth * 2, kHeight * 2, font);
    const RgbaPicture after = DecodeRgbaWithPillow(target);
    ASSERT_EQ(after.width, kWidth * 2);
    EXPECT_EQ(after.At(2, 2)[3], 255);                           // inside the text's box
    EXPECT_EQ(after.At(kWidth * 2 - 1, kHeight * 2 - 1)[3], 0);  // transparent still
    EXPECT_EQ(after.At(70, 20)[3], 90);                          // half transparent still
}

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "formats/FormatTable.h"
#include "formats/reader/ColorManager.h"
#include "formats/reader/Decoder.h"

using namespace corvalin;

namespace {

TColorManager Manager(TColorScheme source, uint8_t sourceBits, uint8_t sourceSamples, TColorScheme target,
                      uint8_t targetBits, uint8_t targetSamples)
{
    TColorManager m;
    m.SetSourceColorScheme(source);
    m.SetSourceBitsPerSample(sourceBits);
    m.SetSourceSamplesPerPixel(sourceSamples);
    m.SetTargetColorScheme(target);
    m.SetTargetBitsPerSample(targetBits);
    m.SetTargetSamplesPerPixel(targetSamples);
    return m;
}

std::vector<uint8_t> Convert(TColorManager& m, std::vector<uint8_t> source, size_t count, size_t targetBytes,
                             uint8_t mask = 0xFF)
{
    std::vector<uint8_t> target(targetBytes, 0xEE);
    const uint8_t* planes[] = {source.data()};
    m.ConvertPixels(planes, mask, count, target.data());
    return target;
}

std::string ErrorOf(auto&& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

}  // namespace

TEST(ColorManager, TargetPixelFormatByTargetSamplesAndBits)
{
    const struct { uint8_t samples, bits; TPixelFormat format; } cases[] = {
        {1, 1, TPixelFormat::pf1bit}, {1, 2, TPixelFormat::pf4bit}, {1, 4, TPixelFormat::pf4bit},
        {1, 8, TPixelFormat::pf8bit}, {1, 16, TPixelFormat::pf8bit}, {3, 5, TPixelFormat::pf15bit},
        {3, 8, TPixelFormat::pf24bit}, {4, 8, TPixelFormat::pf32bit}, {2, 8, TPixelFormat::pfCustom},
        {4, 4, TPixelFormat::pfCustom}};
    for (const auto& c : cases) {
        TColorManager m = Manager(TColorScheme::csG, 8, 1, TColorScheme::csG, c.bits, c.samples);
        EXPECT_EQ(m.TargetPixelFormat(), c.format) << int(c.samples) << " x " << int(c.bits);
    }
}

TEST(ColorManager, GreyPalettesAndWideningOfSmallSamples)
{
    TColorManager oneBit = Manager(TColorScheme::csG, 1, 1, TColorScheme::csG, 1, 1);
    EXPECT_EQ(oneBit.MakeGreyPalette(true), (std::vector<TColor>{clWhite, clBlack}));
    TColorManager grey = Manager(TColorScheme::csG, 2, 1, TColorScheme::csG, 4, 1);
    const std::vector<TColor> ramp = grey.MakeGreyPalette(false);
    ASSERT_EQ(ramp.size(), 16u);
    EXPECT_EQ(ramp[1], RGB(17, 17, 17));
    EXPECT_EQ(ramp[15], clWhite);
    // Four 2-bit samples 0, 1, 2, 3 in one byte become 0, 5, 10, 15.
    EXPECT_EQ(Convert(grey, {0x1B}, 4, 2), (std::vector<uint8_t>{0x05, 0xAF}));
    // Palette indexes keep their value when they get more bits.
    TColorManager indexed = Manager(TColorScheme::csIndexed, 2, 1, TColorScheme::csIndexed, 4, 1);
    EXPECT_EQ(Convert(indexed, {0x1B}, 4, 2), (std::vector<uint8_t>{0x01, 0x23}));
    // 16-bit grey, big-endian, reduced as v * 255 / 65535; the alpha sample is skipped.
    TColorManager ga = Manager(TColorScheme::csGA, 16, 2, TColorScheme::csG, 8, 1);
    ga.SetSourceOptions(coNeedByteSwap);
    EXPECT_EQ(Convert(ga, {0xFF, 0x00, 0x12, 0x34, 0x80, 0x80, 0, 0}, 2, 2), (std::vector<uint8_t>{254, 128}));
}

TEST(ColorManager, ColourSchemesToBgr)
{
    TColorManager rgb = Manager(TColorScheme::csRGB, 8, 3, TColorScheme::csBGR, 8, 3);
    EXPECT_EQ(Convert(rgb, {1, 2, 3, 4, 5, 6}, 2, 6), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
    // Only pixels whose mask bit is set are written (bit 7 is the first pixel).
    EXPECT_EQ(Convert(rgb, {1, 2, 3, 4, 5, 6}, 2, 6, 0x40), (std::vector<uint8_t>{0xEE, 0xEE, 0xEE, 6, 5, 4}));

    TColorManager rgba = Manager(TColorScheme::csRGBA, 16, 4, TColorScheme::csBGRA, 8, 4);
    rgba.SetSourceOptions(coNeedByteSwap);
    EXPECT_EQ(Convert(rgba, {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x40, 0x00}, 1, 4),
              (std::vector<uint8_t>{0, 127, 255, 63}));

    TColorManager cmyk = Manager(TColorScheme::csCMYK, 8, 4, TColorScheme::csBGR, 8, 3);
    EXPECT_EQ(Convert(cmyk, {0, 0, 0, 255, 255, 0, 0, 0}, 2, 6), (std::vector<uint8_t>{0, 0, 0, 255, 255, 0}));

    TColorManager ycc = Manager(TColorScheme::csYCbCr, 8, 3, TColorScheme::csRGB, 8, 3);
    ycc.SetYCbCrParameters({0.299f, 0.587f, 0.114f}, 1, 1);
    // Grey stays grey; full Cr with neutral Cb gives a red shift of 1.402 * 127.
    EXPECT_EQ(Convert(ycc, {128, 128, 128, 100, 128, 255}, 2, 6), (std::vector<uint8_t>{128, 128, 128, 255, 9, 100}));
}

TEST(ColorManager, LabGivesDisplayValuesAtTheWhitePoint)
{
    TColorManager lab = Manager(TColorScheme::csCIELab, 8, 3, TColorScheme::csRGB, 8, 3);
    lab.SetSourceOptions(coLabByteRange);
    // L* 100 and 0 with neutral chroma are white and black; L* 52.5, a* 6,
    // b* 12 is a mid brown (about 140, 120, 105 in sRGB).
    const std::vector<uint8_t> rgb = Convert(lab, {255, 0, 0, 0, 0, 0, 134, 6, 12}, 3, 9);
    EXPECT_EQ(std::vector<uint8_t>(rgb.begin(), rgb.begin() + 6), (std::vector<uint8_t>{255, 255, 255, 0, 0, 0}));
    EXPECT_NEAR(rgb[6], 140, 3);
    EXPECT_NEAR(rgb[7], 120, 3);
    EXPECT_NEAR(rgb[8], 105, 3);
    // At a D50 white, neutral L*a*b* is still neutral after the adaptation.
    lab.SetLabWhitePoint(kWhiteD50);
    const std::vector<uint8_t> grey = Convert(lab, {128, 0, 0}, 1, 3);
    EXPECT_NEAR(grey[0], grey[2], 1);
    EXPECT_NEAR(grey[1], grey[2], 1);
}

TEST(ColorManager, PlanesGiveTheSamePixelsAsInterleavedSamples)
{
    TColorManager m = Manager(TColorScheme::csRGB, 16, 3, TColorScheme::csBGR, 8, 3);
    const std::vector<uint8_t> interleaved = {0, 10, 0, 20, 0, 30, 0, 40, 0, 50, 0, 60};
    const std::vector<uint8_t> r = {0, 10, 0, 40}, g = {0, 20, 0, 50}, b = {0, 30, 0, 60};
    const uint8_t* planes[] = {r.data(), g.data(), b.data()};
    std::vector<uint8_t> fromPlanes(6);
    m.ConvertPixels(planes, 0xFF, 2, fromPlanes.data());
    EXPECT_EQ(fromPlanes, Convert(m, interleaved, 2, 6));
    EXPECT_EQ(fromPlanes, (std::vector<uint8_t>{29, 19, 9, 59, 49, 39}));
}

TEST(ColorManager, RefusedCombinationsNameTheProblem)
{
    TColorManager m;
    EXPECT_EQ(ErrorOf([&] { m.SetSourceBitsPerSample(0); }),
              "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
    EXPECT_EQ(ErrorOf([&] { m.SetTargetSamplesPerPixel(5); }),
              "Sample count per pixel does not correspond to the given color scheme.");
    EXPECT_EQ(ErrorOf([&] { m.SetYCbCrParameters({0.3f, 0.6f, 0.1f}, 3, 1); }),
              "Subsampling value is invalid. Allowed are 1, 2 and 4.");
    EXPECT_EQ(ErrorOf([&] { m.SetYCbCrParameters({0.3f, 0.6f, 0.1f}, 1, 2); }),
              "Vertical subsampling value must be <= horizontal subsampling value.");
    TColorManager mixed = Manager(TColorScheme::csIndexed, 8, 1, TColorScheme::csBGR, 8, 3);
    EXPECT_EQ(ErrorOf([&] { Convert(mixed, {0}, 1, 3); }),
              "Conversion between indexed and non-indexed pixel formats is not supported.");
    TColorManager cmy = Manager(TColorScheme::csCMY, 8, 3, TColorScheme::csBGR, 8, 3);
    EXPECT_EQ(ErrorOf([&] { Convert(cmy, {0, 0, 0}, 1, 3); }), "Color conversion failed. Could not find a proper method.");
    // Too few samples for the scheme would read past each pixel.
    TColorManager thin = Manager(TColorScheme::csCMYK, 8, 3, TColorScheme::csBGR, 8, 3);
    EXPECT_EQ(ErrorOf([&] { Convert(thin, {0, 0, 0}, 1, 3); }), "Color conversion failed. Could not find a proper method.");
}

TEST(ColorManager, ColourPaletteFromSixteenBitPlanes)
{
    TColorManager m;
    m.SetSourceOptions(coNeedByteSwap);
    const std::vector<uint8_t> r = {0xFF, 0xFF, 0x00, 0x00}, g = {0x80, 0x00, 0x00, 0x00}, b = {0, 0, 0xFF, 0xFF};
    const uint8_t* planes[] = {r.data(), g.data(), b.data()};
    EXPECT_EQ(m.MakeColorPalette(planes, TPaletteLayout::Plane16Triple, 2, true),
              (std::vector<TColor>{RGB(255, 127, 0), RGB(0, 0, 255)}));
}

TEST(PackBits, RunsLiteralsAndCutInput)
{
    TPackbitsRLEDecoder decoder;
    std::vector<uint8_t> out(8, 0);
    // -3: four times 7; -128 skipped; 1: two literal bytes; 4: five literals, only two present.
    const std::vector<uint8_t> packed = {0xFD, 7, 0x80, 1, 1, 2, 4, 9, 8};
    EXPECT_EQ(decoder.DecodeBlock(packed, out), 8u);
    EXPECT_EQ(out, (std::vector<uint8_t>{7, 7, 7, 7, 1, 2, 9, 8}));
    std::vector<uint8_t> small(3, 0);
    EXPECT_EQ(decoder.DecodeBlock(packed, small), 3u);
}

TEST(Registration, EveryReaderExtensionOnceAndFileSearchUnchanged)
{
    const std::vector<TRegisteredExtension> registered = RegisteredExtensions();
    auto indexOf = [&](std::string_view ext) {
        for (const auto& r : registered)
            if (r.Alias.Extension == ext)
                return r.FormatIndex;
        return 0;
    };
    EXPECT_EQ(indexOf("tiff"), fiTif);
    EXPECT_EQ(indexOf("fax"), fiTif);
    EXPECT_EQ(indexOf("pcc"), fiPcx);
    EXPECT_EQ(indexOf("jpeg"), fiJpg);
    EXPECT_EQ(indexOf("emf"), fiWmf);
    EXPECT_EQ(FormatIndexOf("scan.tiff"), fiUnknown);
    EXPECT_EQ(FormatIndexOf("scan.TIF"), fiTif);
}

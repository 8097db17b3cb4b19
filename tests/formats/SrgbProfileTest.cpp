// Which colour profiles count as sRGB: by their colorants, white point and
// curves, whatever they call themselves.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "formats/colour/SrgbConversion.h"

#ifdef CORVALIN_WITH_LCMS
#include <lcms2.h>
#endif

using namespace corvalin;

#ifdef CORVALIN_WITH_LCMS

namespace {

constexpr cmsCIExyYTRIPLE kSrgbPrimaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
constexpr cmsCIExyYTRIPLE kWidePrimaries = {{0.7347, 0.2653, 1}, {0.1152, 0.8264, 1}, {0.1566, 0.0177, 1}};

// The profile's bytes; the profile is closed.
std::vector<uint8_t> Saved(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// An RGB profile of D65 white, the primaries and one curve for all three,
// described as `name`: sRGB's curve for gamma 0, else a plain gamma.
std::vector<uint8_t> MadeProfile(const cmsCIExyYTRIPLE& primaries, double gamma, const char* name)
{
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const double srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = gamma == 0 ? cmsBuildParametricToneCurve(nullptr, 4, srgbCurve)
                                     : cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    cmsMLU* description = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(description, "en", "US", name);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
    cmsMLUfree(description);
    return Saved(profile);
}

}  // namespace

TEST(SrgbProfile, TakenByItsContentNotItsName)
{
    const std::string colord = "/usr/share/color/icc/colord/", ghostscript = "/usr/share/color/icc/ghostscript/";
    const struct {
        const char* what;
        std::vector<uint8_t> profile;
        bool srgb;
    } cases[] = {
        {"LittleCMS's own", Saved(cmsCreate_sRGBProfile()), true},
        {"built from sRGB's primaries and curve", MadeProfile(kSrgbPrimaries, 0, "Monitor"), true},
        {"colord's (version 4)", testsupport::ReadBytes(colord + "sRGB.icc"), true},
        {"Ghostscript's (version 2, D65 white, tabled curves)", testsupport::ReadBytes(ghostscript + "srgb.icc"), true},
        {"wide gamut named esRGB", MadeProfile(kWidePrimaries, 0, "esRGB"), false},
        {"wide gamut named sRGB", MadeProfile(kWidePrimaries, 0, "sRGB IEC61966-2.1"), false},
        {"sRGB's primaries at gamma 2.2", MadeProfile(kSrgbPrimaries, 2.2, "sRGB"), false},
        {"Rec. 709 (sRGB's primaries, another curve)", testsupport::ReadBytes(colord + "Rec709.icc"), false},
        {"Adobe RGB", testsupport::ReadBytes(colord + "AdobeRGB1998.icc"), false},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.profile.empty()) << c.what << ": colord-data and ghostscript's profiles are installed";
        EXPECT_EQ(IsSrgbProfile(c.profile), c.srgb) << c.what;
    }
}

#else

TEST(SrgbProfile, TakenByItsContentNotItsName)
{
    GTEST_SKIP() << "built without LittleCMS";
}

#endif

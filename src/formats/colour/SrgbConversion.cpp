#include "formats/colour/SrgbConversion.h"

#include "common/Exceptions.h"
#include "formats/metadata/PictureMetadata.h"
#include "picture/Raster.h"

#ifdef CORVALIN_WITH_LCMS
#include <lcms2.h>

#include <cmath>
#include <memory>
#endif

namespace corvalin {

#ifdef CORVALIN_WITH_LCMS

namespace {

// A context of its own per conversion: the workers convert side by side.
struct TContextFree {
    void operator()(cmsContext context) const { cmsDeleteContext(context); }
};
struct TProfileClose {
    void operator()(cmsHPROFILE profile) const { cmsCloseProfile(profile); }
};
struct TTransformFree {
    void operator()(cmsHTRANSFORM transform) const { cmsDeleteTransform(transform); }
};
using TContext = std::unique_ptr<std::remove_pointer_t<cmsContext>, TContextFree>;
using TProfile = std::unique_ptr<std::remove_pointer_t<cmsHPROFILE>, TProfileClose>;
struct TToneCurveFree {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using TTransform = std::unique_ptr<std::remove_pointer_t<cmsHTRANSFORM>, TTransformFree>;
using TToneCurve = std::unique_ptr<cmsToneCurve, TToneCurveFree>;

// The media white point of version 2 sRGB profiles (version 4 ones state D50).
constexpr cmsCIEXYZ kD65 = {0.9505, 1.0, 1.089};

// How far a profile may stray from sRGB and still be taken for it: its
// colorants and white point by about the rounding of the numbers profiles
// store (real sRGB profiles differ by some 0.0003), its curves by a fifth of
// an 8-bit level wherever they are read.
constexpr double kColorantTolerance = 0.002;
constexpr double kCurveToleranceLevels = 0.2;

bool NearXyz(const cmsCIEXYZ* xyz, const cmsCIEXYZ& reference)
{
    return xyz != nullptr && std::abs(xyz->X - reference.X) <= kColorantTolerance &&
           std::abs(xyz->Y - reference.Y) <= kColorantTolerance && std::abs(xyz->Z - reference.Z) <= kColorantTolerance;
}

const cmsCIEXYZ* XyzTag(cmsHPROFILE profile, cmsTagSignature tag)
{
    return static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tag));
}

// The curve, read back through sRGB's own, moves no level of 0..255 by
// more than the tolerance.
bool NearSrgbCurve(const cmsToneCurve* curve, const cmsToneCurve* srgbInverse)
{
    if (curve == nullptr)
        return false;
    for (int level = 0; level <= 255; ++level) {
        const float linear = cmsEvalToneCurveFloat(curve, float(level) / 255.0F);
        if (std::abs(cmsEvalToneCurveFloat(srgbInverse, linear) * 255.0 - level) > kCurveToleranceLevels)
            return false;
    }
    return true;
}

// Whether a profile describes the pixels as sRGB viewers show them, so that
// converting would only round them: by its content (an RGB matrix and
// curves that LittleCMS uses as they are, sRGB's colorants, a D50 or D65
// white point, sRGB's curves), never by its name, which any profile may give
// itself.
bool DescribesSrgb(cmsContext context, cmsHPROFILE profile)
{
    if (cmsGetColorSpace(profile) != cmsSigRgbData || !cmsIsMatrixShaper(profile) ||
        cmsIsCLUT(profile, INTENT_RELATIVE_COLORIMETRIC, LCMS_USED_AS_INPUT))
        return false;
    const TProfile srgb(cmsCreate_sRGBProfileTHR(context));
    for (const cmsTagSignature tag : {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag})
        if (!NearXyz(XyzTag(profile, tag), *XyzTag(srgb.get(), tag)))
            return false;
    const cmsCIEXYZ* white = XyzTag(profile, cmsSigMediaWhitePointTag);
    if (white != nullptr && !NearXyz(white, *cmsD50_XYZ()) && !NearXyz(white, kD65))
        return false;
    const TToneCurve inverse(
        cmsReverseToneCurve(static_cast<const cmsToneCurve*>(cmsReadTag(srgb.get(), cmsSigRedTRCTag))));
    if (!inverse)
        return false;
    for (const cmsTagSignature tag : {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag})
        if (!NearSrgbCurve(static_cast<const cmsToneCurve*>(cmsReadTag(profile, tag)), inverse.get()))
            return false;
    return true;
}

// BGR triples or BGRA quadruples as the raster holds them; alpha (or the
// unused fourth byte) is copied unchanged.
cmsUInt32Number LayoutOf(const TRaster& raster)
{
    return raster.bitsPerPixel == 24 ? TYPE_BGR_8 : TYPE_BGRA_8;
}

bool ConvertibleLayout(const TRaster& raster)
{
    return (raster.bitsPerPixel == 24 || raster.bitsPerPixel == 32) && !raster.HasMasks();
}

}  // namespace

bool ConvertToSrgb(TRaster& raster, TPictureMetadata& metadata)
{
    if (metadata.iccProfile.empty() || !ConvertibleLayout(raster))
        return false;
    const TContext context(cmsCreateContext(nullptr, nullptr));
    if (!context)
        return false;
    // A profile LittleCMS refuses, or one for other colours than RGB, is
    // ignored: the picture keeps its pixels and its profile.
    const TProfile source(cmsOpenProfileFromMemTHR(context.get(), metadata.iccProfile.data(),
                                                   cmsUInt32Number(metadata.iccProfile.size())));
    if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData || DescribesSrgb(context.get(), source.get()))
        return false;
    const TProfile srgb(cmsCreate_sRGBProfileTHR(context.get()));
    const cmsUInt32Number layout = LayoutOf(raster);
    const TTransform transform(cmsCreateTransformTHR(context.get(), source.get(), layout, srgb.get(), layout,
                                                     INTENT_RELATIVE_COLORIMETRIC,
                                                     cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_COPY_ALPHA));
    if (!transform)
        return false;
    for (int y = 0; y < raster.height; ++y)
        cmsDoTransform(transform.get(), raster.Row(y), raster.Row(y), cmsUInt32Number(raster.width));
    metadata.iccProfile.clear();
    metadata.isSrgb = true;
    return true;
}

bool IsSrgbProfile(std::span<const uint8_t> profile)
{
    const TContext context(cmsCreateContext(nullptr, nullptr));
    if (!context || profile.empty())
        return false;
    const TProfile opened(cmsOpenProfileFromMemTHR(context.get(), profile.data(), cmsUInt32Number(profile.size())));
    return opened && DescribesSrgb(context.get(), opened.get());
}

TCmykRowConversion CmykToSrgbThrough(std::span<const uint8_t> profile)
{
    // The transform needs its context for as long as it is used; the
    // profiles only to be made.
    struct TState {
        TContext context;
        TTransform transform;
    };
    auto state = std::make_shared<TState>();
    state->context.reset(cmsCreateContext(nullptr, nullptr));
    if (!state->context || profile.empty())
        return {};
    cmsContext context = state->context.get();
    const TProfile source(cmsOpenProfileFromMemTHR(context, profile.data(), cmsUInt32Number(profile.size())));
    if (!source || cmsGetColorSpace(source.get()) != cmsSigCmykData)
        return {};
    const TProfile srgb(cmsCreate_sRGBProfileTHR(context));
    state->transform.reset(cmsCreateTransformTHR(context, source.get(), TYPE_CMYK_8, srgb.get(), TYPE_BGR_8,
                                                 INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_BLACKPOINTCOMPENSATION));
    if (!state->transform)
        return {};
    return [state](const uint8_t* cmyk, int width, uint8_t* bgr) {
        cmsDoTransform(state->transform.get(), cmyk, bgr, cmsUInt32Number(width));
    };
}

#else

bool ConvertToSrgb(TRaster&, TPictureMetadata& metadata)
{
    if (metadata.iccProfile.empty())
        return false;
    throw EInvalidOperation("In sRGB umrechnen ist nicht möglich: Corvalin wurde ohne LittleCMS erstellt");
}

bool IsSrgbProfile(std::span<const uint8_t>)
{
    return false;
}

TCmykRowConversion CmykToSrgbThrough(std::span<const uint8_t>)
{
    return {};
}

#endif

}  // namespace corvalin

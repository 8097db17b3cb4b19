#include "formats/colour/SrgbConversion.h"

#include "common/Exceptions.h"
#include "formats/metadata/PictureMetadata.h"
#include "picture/Raster.h"

#ifdef CORVALIN_WITH_LCMS
#include <lcms2.h>

#include <memory>
#include <string>
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
using TTransform = std::unique_ptr<std::remove_pointer_t<cmsHTRANSFORM>, TTransformFree>;

// An sRGB profile (the camera's, the operating system's, ours) already
// describes the pixels as sRGB viewers show them; converting would only
// round them.
bool DescribesSrgb(cmsHPROFILE profile)
{
    const cmsUInt32Number length = cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", nullptr, 0);
    if (length == 0)
        return false;
    std::string description(length, '\0');
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", description.data(), length);
    return description.find("sRGB") != std::string::npos;
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
    if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData || DescribesSrgb(source.get()))
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

TCmykRowConversion CmykToSrgbThrough(std::span<const uint8_t>)
{
    return {};
}

#endif

}  // namespace corvalin

#include "overlay/StampLogo.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>
#include <optional>

#include "common/Exceptions.h"
#include "formats/BitmapEx.h"
#include "picture/SmoothScale.h"
#include "picture/Stretch.h"

namespace corvalin {

namespace {

// A batch of photographs comes in a few sizes; a folder of every size
// would otherwise keep a logo per picture.
constexpr size_t kMaxScaledLogos = 8;

// The logo at its own size in 32 bits with alpha: a transparent palette
// entry becomes transparent pixels.
std::shared_ptr<const TRaster> WithAlpha(const TRaster& logo)
{
    std::shared_ptr<TRaster> copy = TRaster::Create(logo.width, logo.height, TPixelFormat::pf32bit);
    copy->hasAlpha = true;
    StretchRaster(*copy, TRect{0, 0, logo.width, logo.height}, logo, std::nullopt);
    return copy;
}

}  // namespace

TLogoSize LogoSizeOn(int32_t pictureWidth, int32_t pictureHeight, int32_t sharePercent, int32_t logoWidth,
                     int32_t logoHeight)
{
    double width = std::max(1.0, std::round(double(pictureWidth) * sharePercent / 100.0));
    double height = std::max(1.0, std::round(width * logoHeight / logoWidth));
    if (height > pictureHeight) {
        height = pictureHeight;
        width = std::max(1.0, std::round(height * logoWidth / logoHeight));
    }
    return {int32_t(std::min(width, double(INT32_MAX))), int32_t(std::min(height, double(INT32_MAX)))};
}

std::shared_ptr<TStampLogo> TStampLogo::Load(const std::string& fileName, const TLargestLogo& largest)
{
    try {
        std::optional<TLogoSize> own;
        TLogoSize kept;
        // The largest size it is stamped at, never more than its own.
        const auto keep = [&](int32_t width, int32_t height) {
            own = TLogoSize{width, height};
            kept = largest ? largest(width, height) : *own;
            kept = {std::clamp(kept.width, 1, width), std::clamp(kept.height, 1, height)};
        };
        // Smooth scaling needs twice the kept size of detail to sample.
        const TReductionRequest reduction{[&](int32_t width, int32_t height) -> int32_t {
            keep(width, height);
            return int32_t(std::min(width / (2 * int64_t(kept.width)), height / (2 * int64_t(kept.height))));
        }};
        TBitmapEx picture;
        size_t pictures = 1;
        picture.LoadFromFileEx(fileName, pictures, reduction);
        if (picture.Empty() || picture.Width() <= 0 || picture.Height() <= 0)
            throw EInvalidGraphic("Die Datei enthält kein Bild (0 Pixel)");
        if (!own)
            keep(picture.Width(), picture.Height());
        const TRaster& raster = *picture.Raster();
        // Reduced first, so that the 32-bit copy is no larger than kept.
        std::shared_ptr<const TRaster> reduced =
            kept.width != raster.width || kept.height != raster.height
                ? WithAlpha(*ScaleSmoothly(raster, kept.width, kept.height))
                : WithAlpha(raster);
        return std::shared_ptr<TStampLogo>(new TStampLogo(std::move(reduced), own->width, own->height));
    } catch (const std::exception& error) {
        throw EInvalidOperation(
            FormatText("Das Logo \"%s\" kann nicht gelesen werden: %s", {fileName, ReasonOf(error)}));
    }
}

std::shared_ptr<const TRaster> TStampLogo::ScaledTo(int32_t width, int32_t height) const
{
    if (width == kept_->width && height == kept_->height)
        return kept_;
    const std::lock_guard lock(mutex_);
    const auto key = std::make_pair(width, height);
    if (const auto found = scaled_.find(key); found != scaled_.end())
        return found->second;
    if (scaled_.size() >= kMaxScaledLogos)
        scaled_.clear();
    // Smoothly: a logo is a drawing of thin lines and lettering.
    return scaled_[key] = ScaleSmoothly(*kept_, width, height);
}

}  // namespace corvalin

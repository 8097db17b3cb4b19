#include "overlay/StampLogo.h"

#include <exception>

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

std::shared_ptr<TStampLogo> TStampLogo::Load(const std::string& fileName)
{
    try {
        TBitmapEx picture;
        picture.LoadFromFileEx(fileName);
        if (picture.Empty() || picture.Width() <= 0 || picture.Height() <= 0)
            throw EInvalidGraphic("Die Datei enthält kein Bild (0 Pixel)");
        return std::shared_ptr<TStampLogo>(new TStampLogo(WithAlpha(*picture.Raster())));
    } catch (const std::exception& error) {
        throw EInvalidOperation(
            FormatText("Das Logo \"%s\" kann nicht gelesen werden: %s", {fileName, ReasonOf(error)}));
    }
}

std::shared_ptr<const TRaster> TStampLogo::ScaledTo(int32_t width, int32_t height) const
{
    if (width == Width() && height == Height())
        return original_;
    const std::lock_guard lock(mutex_);
    const auto key = std::make_pair(width, height);
    if (const auto found = scaled_.find(key); found != scaled_.end())
        return found->second;
    if (scaled_.size() >= kMaxScaledLogos)
        scaled_.clear();
    // Smoothly: a logo is a drawing of thin lines and lettering.
    return scaled_[key] = ScaleSmoothly(*original_, width, height);
}

}  // namespace corvalin

#include "overlay/StampLogo.h"

#include <exception>

#include "common/Exceptions.h"
#include "formats/BitmapEx.h"
#include "picture/Stretch.h"

namespace corvalin {

namespace {

// A batch of photographs comes in a few sizes; a folder of every size
// would otherwise keep a logo per picture.
constexpr size_t kMaxScaledLogos = 8;

}  // namespace

std::shared_ptr<const TRaster> ScaleLogo(const TRaster& logo, int32_t width, int32_t height)
{
    std::shared_ptr<TRaster> scaled = TRaster::Create(width, height, TPixelFormat::pf32bit);
    scaled->hasAlpha = true;
    StretchRaster(*scaled, TRect{0, 0, width, height}, logo, std::nullopt);
    return scaled;
}

std::shared_ptr<TStampLogo> TStampLogo::Load(const std::string& fileName)
{
    try {
        TBitmapEx picture;
        picture.LoadFromFileEx(fileName);
        if (picture.Empty() || picture.Width() <= 0 || picture.Height() <= 0)
            throw EInvalidGraphic("Die Datei enthält kein Bild (0 Pixel)");
        // Drawn at its own size into 32 bits with alpha, a transparent
        // palette entry becomes transparent pixels.
        const TRaster& raster = *picture.Raster();
        return std::shared_ptr<TStampLogo>(new TStampLogo(ScaleLogo(raster, raster.width, raster.height)));
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
    return scaled_[key] = ScaleLogo(*original_, width, height);
}

}  // namespace corvalin

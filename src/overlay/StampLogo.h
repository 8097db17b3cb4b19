// The logo of a run: loaded once, kept with its transparency at the largest
// size it is stamped at, and scaled once for each size of result it is
// stamped into.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "picture/Raster.h"

namespace corvalin {

struct TLogoSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The size a logo of logoWidth x logoHeight is stamped at into a picture: a
// share (in percent) of the picture's width, but never taller than the
// picture; at least one pixel each way.
TLogoSize LogoSizeOn(int32_t pictureWidth, int32_t pictureHeight, int32_t sharePercent, int32_t logoWidth,
                     int32_t logoHeight);

// The largest size a logo of the size given will be stamped at.
using TLargestLogo = std::function<TLogoSize(int32_t logoWidth, int32_t logoHeight)>;

class TStampLogo {
public:
    // Loads a picture file of any readable format into 32 bits with alpha;
    // throws EInvalidOperation naming the file when it cannot be read (a
    // picture beyond the raster limit included). With `largest` the logo is
    // kept at no more than the largest size it will be stamped at: a reader
    // that can decodes it reduced, and it is scaled down before it is
    // turned into 32 bits.
    static std::shared_ptr<TStampLogo> Load(const std::string& fileName, const TLargestLogo& largest = nullptr);

    // The logo's own size, which the stamp's layout follows.
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

    // The logo at this size (32 bits, straight alpha), scaled from what was
    // kept of it. Safe to call from the run's workers at once.
    std::shared_ptr<const TRaster> ScaledTo(int32_t width, int32_t height) const;

private:
    TStampLogo(std::shared_ptr<const TRaster> kept, int32_t width, int32_t height)
        : kept_(std::move(kept)), width_(width), height_(height)
    {
    }

    std::shared_ptr<const TRaster> kept_;
    int32_t width_;
    int32_t height_;
    mutable std::mutex mutex_;
    mutable std::map<std::pair<int32_t, int32_t>, std::shared_ptr<const TRaster>> scaled_;
};

}  // namespace corvalin

// The logo of a run: loaded once, kept with its transparency, and scaled
// once for each size of result it is stamped into.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "picture/Raster.h"

namespace corvalin {

class TStampLogo {
public:
    // Loads a picture file of any readable format into 32 bits with alpha;
    // throws EInvalidOperation naming the file when it cannot be read (a
    // picture beyond the raster limit included).
    static std::shared_ptr<TStampLogo> Load(const std::string& fileName);

    int32_t Width() const { return original_->width; }
    int32_t Height() const { return original_->height; }

    // The logo at this size (32 bits, straight alpha). Safe to call from
    // the run's workers at once.
    std::shared_ptr<const TRaster> ScaledTo(int32_t width, int32_t height) const;

private:
    explicit TStampLogo(std::shared_ptr<const TRaster> original) : original_(std::move(original)) {}

    std::shared_ptr<const TRaster> original_;
    mutable std::mutex mutex_;
    mutable std::map<std::pair<int32_t, int32_t>, std::shared_ptr<const TRaster>> scaled_;
};

}  // namespace corvalin

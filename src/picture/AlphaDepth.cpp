#include "picture/AlphaDepth.h"

#include <array>
#include <optional>
#include <vector>

#include "picture/Backdrop.h"
#include "picture/Palettes.h"

namespace corvalin {

namespace {

// How often each palette entry is the nearest to an opaque pixel, or
// nothing when no pixel is transparent.
std::optional<std::array<int64_t, 256>> OpaqueUse(const TRaster& source, const TRaster& target)
{
    std::array<int64_t, 256> use{};
    bool anyTransparent = false;
    const bool halftone = IsHalftonePalette(target.palette);
    std::vector<uint8_t> bgra(size_t(source.width) * 4);
    uint8_t bgr[3];
    for (int y = 0; y < source.height; ++y) {
        DecodeRowToBgra(source, y, bgra.data());
        for (int x = 0; x < source.width; ++x) {
            const uint8_t* p = &bgra[4 * size_t(x)];
            if (p[3] < 128) {
                anyTransparent = true;
                continue;
            }
            CompositeRowOverBackdrop(p, 1, bgr);
            ++use[halftone ? NearestHalftone(bgr[2], bgr[1], bgr[0])
                           : NearestIndex(target.palette, RGB(bgr[2], bgr[1], bgr[0]))];
        }
    }
    if (!anyTransparent)
        return std::nullopt;
    return use;
}

// The entry fewest opaque pixels take, the last of equals; it shows the
// backdrop from now on, and those pixels take their next nearest entry.
void ReserveTransparentEntry(const TRaster& source, TRaster& target)
{
    const auto use = OpaqueUse(source, target);
    if (!use)
        return;
    size_t least = target.palette.size() - 1;
    for (size_t i = least; i-- > 0;)
        if ((*use)[i] < (*use)[least])
            least = i;
    target.palette[least] = kBackdropColor;
    target.transparentIndex = int(least);
}

}  // namespace

void ConvertWithAlpha(const TRaster& source, TRaster& target, TPaletteMatch match)
{
    if (target.format == TPixelFormat::pf32bit)
        target.hasAlpha = true;
    else if ((target.bitsPerPixel == 4 || target.bitsPerPixel == 8) && !target.palette.empty())
        ReserveTransparentEntry(source, target);
    std::vector<uint8_t> bgra(size_t(source.width) * 4);
    for (int y = 0; y < source.height; ++y) {
        DecodeRowToBgra(source, y, bgra.data());
        EncodeRowFromBgra(target, y, bgra.data(), match);
    }
}

}  // namespace corvalin

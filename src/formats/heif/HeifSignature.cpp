#include "formats/heif/HeifSignature.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace corvalin {

namespace {

// Whether the file opens with an "ftyp" box naming one of the brands, as its
// major brand or among the compatible ones; a box cut short counts up to the
// end of the file.
bool HasBrand(std::span<const uint8_t> file, std::initializer_list<std::string_view> brands)
{
    if (file.size() < 16)
        return false;
    const std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
    if (bytes.substr(4, 4) != "ftyp")
        return false;
    const size_t boxSize = (size_t(file[0]) << 24) | (size_t(file[1]) << 16) | (size_t(file[2]) << 8) | file[3];
    const size_t end = std::min(bytes.size(), std::max<size_t>(boxSize, 16));
    auto named = [&](size_t at) {
        return std::find(brands.begin(), brands.end(), bytes.substr(at, 4)) != brands.end();
    };
    if (named(8))
        return true;
    for (size_t at = 16; at + 4 <= end; at += 4)
        if (named(at))
            return true;
    return false;
}

}  // namespace

bool IsHeic(std::span<const uint8_t> file)
{
    return HasBrand(file, {"heic", "heix", "hevc", "heim", "heis", "hevx", "mif1", "msf1"});
}

bool IsAvif(std::span<const uint8_t> file)
{
    return HasBrand(file, {"avif", "avis"});
}

}  // namespace corvalin

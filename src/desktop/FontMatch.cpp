#include "desktop/FontMatch.h"

#include <fontconfig/fontconfig.h>

namespace corvalin {

std::string MatchedFontFamily(const TFont& font)
{
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return font.Name;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(font.Name.c_str()));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern, FC_WEIGHT, font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, font.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr)
        return font.Name;
    FcChar8* family = nullptr;
    std::string matched = font.Name;
    if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch && family != nullptr)
        matched = reinterpret_cast<const char*>(family);
    FcPatternDestroy(match);
    return matched;
}

}  // namespace corvalin

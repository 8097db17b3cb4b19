#include "picture/FontMatch.h"

namespace corvalin {

TFontMatch MatchFont(const std::string& name, bool bold, bool italic)
{
    const TFontMatch pattern(FcPatternCreate());
    if (!pattern)
        return {};
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    return TFontMatch(FcFontMatch(nullptr, pattern.get(), &result));
}

std::string MatchedFontFamily(const TFont& font)
{
    const TFontMatch match = MatchFont(font.Name, font.Bold, font.Italic);
    FcChar8* family = nullptr;
    if (match && FcPatternGetString(match.get(), FC_FAMILY, 0, &family) == FcResultMatch && family != nullptr)
        return reinterpret_cast<const char*>(family);
    return font.Name;
}

}  // namespace corvalin

// The family fontconfig draws a font with: a name such as "MS Sans Serif"
// that no Linux system has is drawn with a substitute, and the windows name
// the font by what is drawn.
#pragma once

#include <string>

#include "picture/Font.h"

namespace corvalin {

// Matched as the stamp's text renderer matches it (name, then sans-serif;
// weight, slant, scalable); the name itself when fontconfig finds nothing.
std::string MatchedFontFamily(const TFont& font);

}  // namespace corvalin

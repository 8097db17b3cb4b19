// The face fontconfig draws a font with: a name such as "MS Sans Serif"
// that no Linux system has is drawn with a substitute, so the text renderer
// opens, and the windows name, the face that is matched.
#pragma once

#include <memory>
#include <string>

#include <fontconfig/fontconfig.h>

#include "picture/Font.h"

namespace corvalin {

struct TFontPatternFree {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using TFontMatch = std::unique_ptr<FcPattern, TFontPatternFree>;

// The name first, then any sans-serif face; weight, slant, scalable. Empty
// when fontconfig finds nothing.
TFontMatch MatchFont(const std::string& name, bool bold, bool italic);

// The family of the matched face; the name itself when nothing matches.
std::string MatchedFontFamily(const TFont& font);

}  // namespace corvalin

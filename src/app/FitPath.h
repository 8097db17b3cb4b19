// Shortening a path to a width in pixels by replacing leading folders with "...".
#pragma once

#include <functional>
#include <string>

#include "picture/Font.h"

namespace corvalin {

// Width in pixels of a text as it would be drawn.
using TTextMeasure = std::function<int(const std::string&)>;

// Drops leading folders ("/a/b/c/x.jpg" -> "/.../b/c/x.jpg" -> ... -> "x.jpg")
// until the text measures at most maxWidth; the name is never shortened.
std::string FitPathToWidth(const std::string& path, const TTextMeasure& measure, int maxWidth);
// Measures with the program's own text renderer.
std::string FitPathToWidth(const std::string& path, const TFont& font, int maxWidth);

}  // namespace corvalin

#include "app/FitPath.h"

#include "picture/TextRenderer.h"

namespace corvalin {

namespace {

constexpr const char* kEllipsisFolder = ".../";

// Drops the first folder of dir: "/a/b/" -> "/.../b/", "/.../b/" -> "/.../",
// ".../" -> "", "/" -> "".
std::string DropFirstFolder(std::string dir)
{
    if (dir == "/")
        return "";
    const bool leadingSlash = dir.front() == '/';
    if (leadingSlash)
        dir.erase(0, 1);
    if (dir.starts_with(kEllipsisFolder))
        dir.erase(0, 4);  // the "..." of an earlier step
    const size_t slash = dir.find('/');
    dir = slash == std::string::npos ? "" : kEllipsisFolder + dir.substr(slash + 1);
    return leadingSlash ? "/" + dir : dir;
}

}  // namespace

std::string FitPathToWidth(const std::string& path, const TTextMeasure& measure, int maxWidth)
{
    const size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = path.substr(dir.size());
    std::string result = path;
    while (!dir.empty() && measure(result) > maxWidth) {
        dir = dir == "/.../" ? kEllipsisFolder : DropFirstFolder(dir);
        result = dir + name;
    }
    return result;
}

std::string FitPathToWidth(const std::string& path, const TFont& font, int maxWidth)
{
    return FitPathToWidth(
        path, [&font](const std::string& text) { return MeasureText(text, font).width; },
        maxWidth);
}

}  // namespace corvalin

#include "app/PicturesFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "common/Tools.h"

namespace corvalin {

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool IsFolder(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

std::string WithSlash(const std::string& folder)
{
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

// The value of XDG_PICTURES_DIR: "$HOME/..." or an absolute path, in double
// quotation marks. Anything else names no folder.
std::optional<std::string> PicturesEntry(const std::string& home)
{
    const std::string config = Environment("XDG_CONFIG_HOME");
    std::ifstream file((config.empty() ? home + "/.config" : config) + "/user-dirs.dirs");
    const std::string key = "XDG_PICTURES_DIR=\"";
    for (std::string line; std::getline(file, line);) {
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"')
            continue;
        const std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME/", 0) == 0)
            return home + value.substr(5);
        if (!value.empty() && value.front() == '/')
            return value;
    }
    return std::nullopt;
}

}  // namespace

std::string PicturesFolder()
{
    const std::string home = Environment("HOME");
    if (home.empty() || !IsFolder(home))
        return CurrentDirectory();
    const std::optional<std::string> pictures = PicturesEntry(home);
    return WithSlash(pictures && IsFolder(*pictures) ? *pictures : home);
}

}  // namespace corvalin

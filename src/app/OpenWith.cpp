#include "app/OpenWith.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "app/CommandLine.h"
#include "app/PictureSearch.h"
#include "formats/FormatTable.h"

namespace corvalin {

namespace {

// A picture is a file that one of the file-type masks finds.
bool HasPictureName(const std::string& path)
{
    for (int index = 1; index <= kFormatCount; ++index)
        if (MatchesMask(path, "*." + FormatExtension(index)))
            return true;
    return false;
}

std::string WithTrailingSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace

std::optional<std::string> FolderToOpen(const std::string& argument)
{
    if (argument.empty() || IsSwitch(argument))
        return std::nullopt;
    struct stat info {};
    if (::stat(argument.c_str(), &info) != 0)
        return std::nullopt;
    const bool isFolder = S_ISDIR(info.st_mode);
    if (!isFolder && !(S_ISREG(info.st_mode) && HasPictureName(argument)))
        return std::nullopt;

    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(argument, error).lexically_normal();
    if (error)
        return std::nullopt;
    return WithTrailingSlash(isFolder ? path.string() : path.parent_path().string());
}

bool ApplyFolderToOpen(TSession& session, const std::string& argument)
{
    const std::optional<std::string> folder = FolderToOpen(argument);
    if (!folder)
        return false;
    TConversionSettings settings = session.FrontEnd().CurrentSettings();
    settings.Directory = *folder;
    session.FrontEnd().ApplySettings(settings);
    return true;
}

}  // namespace corvalin

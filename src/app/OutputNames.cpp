#include "app/OutputNames.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>

#include "app/RunTargets.h"
#include "common/Exceptions.h"

namespace corvalin {

namespace {

std::string WithSlash(const std::string& folder)
{
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

size_t NameStart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// Where the extension begins in a name without folder: its last "."; the
// name's end when it has none.
size_t ExtensionStart(const std::string& name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name.size() : dot;
}

// The folder of a source named relative to the current folder, when it
// lies below it ("Urlaub/2024/"); empty otherwise.
std::string RelativeFolder(const std::string& folder)
{
    if (folder.empty() || folder.front() == '/')
        return "";
    const std::string normal = std::filesystem::path(folder).lexically_normal().string();
    if (normal == "." || normal == "./" || normal.starts_with(".."))
        return "";
    return WithSlash(normal);
}

// The source's folder below the searched folder ("Urlaub/2024/"), empty for
// a source directly in it or outside it. Without a searched folder (a
// script's named files) a source named relative to the current folder keeps
// the folder it was named with.
std::string FolderBelowSearched(const std::string& source, const std::string& searched)
{
    const std::string root = WithSlash(searched);
    const std::string folder = source.substr(0, NameStart(source));
    if (root.empty())
        return RelativeFolder(folder);
    if (!folder.starts_with(root))
        return "";
    return folder.substr(root.size());
}

// Creates the folder and those above it that are missing.
std::error_code CreateFolders(const std::string& folder)
{
    std::error_code error;
    if (folder.empty() || std::filesystem::is_directory(folder, error))
        return {};
    std::filesystem::create_directories(folder, error);
    return error;
}

}  // namespace

bool IsNameText(const std::string& text)
{
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '/' || byte < 0x20 || byte == 0x7F;
    });
}

std::string MakeCopyName(const std::string& fileName, const std::string& prefix, const std::string& suffix)
{
    if (!IsNameText(prefix) || !IsNameText(suffix))
        throw EConvertError(kNameTextRule);
    const size_t nameStart = NameStart(fileName);
    const std::string name = fileName.substr(nameStart);
    const size_t extension = ExtensionStart(name);
    return fileName.substr(0, nameStart) + prefix + name.substr(0, extension) + suffix + name.substr(extension);
}

bool IsCopyName(const std::string& name, const TOutputChoices& output)
{
    if (output.Prefix.empty() && output.Suffix.empty())
        return false;
    const std::string stem = name.substr(0, ExtensionStart(name));
    return stem.size() >= output.Prefix.size() + output.Suffix.size() && stem.starts_with(output.Prefix) &&
           stem.ends_with(output.Suffix);
}

bool ResultsBesideSources(const TConversionSettings& settings)
{
    return settings.Output.Folder.empty() || FileIdentity(settings.Output.Folder) == FileIdentity(settings.Directory);
}

bool ConvertsInPlace(const TConversionSettings& settings)
{
    return !settings.SaveAsCopy && settings.Output.Folder.empty();
}

bool CopiesBesideSources(const TConversionSettings& settings)
{
    return settings.SaveAsCopy && settings.Output.Folder.empty() &&
           !(settings.Output.Prefix.empty() && settings.Output.Suffix.empty());
}

std::string KeptName(const std::string& source, const TConversionSettings& settings)
{
    std::string kept = source;
    if (!settings.Output.Folder.empty())
        kept = WithSlash(settings.Output.Folder) + FolderBelowSearched(source, settings.Directory) +
               source.substr(NameStart(source));
    return settings.SaveAsCopy ? MakeCopyName(kept, settings.Output.Prefix, settings.Output.Suffix) : kept;
}

TFormatChoice ChooseFormats(const std::string& source, const TConversionSettings& settings)
{
    TFormatChoice formats;
    formats.named = FormatIndexOfName(source);
    const int32_t chosen = settings.TargetFormat;
    if (chosen == 0)
        formats.target = formats.named;
    else if (chosen >= 1 && chosen <= kFormatCount)
        formats.target = FormatIndex(chosen);
    return formats;
}

std::string NumberedName(const std::string& path, int number)
{
    const size_t nameStart = NameStart(path);
    const size_t extension = nameStart + ExtensionStart(path.substr(nameStart));
    return path.substr(0, extension) + "_" + std::to_string(number) + path.substr(extension);
}

bool NameTaken(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

void CreateFoldersFor(const std::string& path)
{
    const std::string folder = path.substr(0, NameStart(path));
    if (const std::error_code error = CreateFolders(folder))
        throw EFCreateError(FormatText("Verzeichnis \"%s\" kann nicht erstellt werden. %s", {folder, error.message()}));
}

std::optional<std::string> OutputFolderProblem(const std::string& folder)
{
    if (folder.empty())
        return std::nullopt;
    const std::string shown = WithSlash(folder);
    if (const std::error_code error = CreateFolders(shown))
        return "Das Ausgabeverzeichnis \"" + shown + "\" kann nicht angelegt werden. " + error.message();
    if (::faccessat(AT_FDCWD, shown.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return "In das Ausgabeverzeichnis \"" + shown + "\" kann nicht geschrieben werden. " + SystemErrorText(errno);
    return std::nullopt;
}

}  // namespace corvalin

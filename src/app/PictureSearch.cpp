#include "app/PictureSearch.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "app/OutputNames.h"
#include "app/RunTargets.h"
#include "common/NameOrder.h"
#include "formats/FormatTable.h"

namespace corvalin {

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Length in bytes of the UTF-8 character starting at position, so that "?"
// stands for one character, not one byte.
size_t CharacterLength(const std::string& text, size_t position)
{
    size_t end = position + 1;
    while (end < text.size() && IsContinuationByte(text[end]))
        ++end;
    return end - position;
}

// Names of a folder's entries, in the order of NameComesBefore; an unreadable folder has none.
std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NameComesBefore);
    return names;
}

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A regular file, or a link to one. Pipes and devices are left out: reading
// them could block the run or never end.
bool IsPictureCandidate(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A real folder, not a link to one (links to folders could form loops).
bool IsDescendableFolder(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// What earlier runs made, which a search leaves out so that results are not
// converted again: an output folder inside the searched tree, or else the
// copies beside their sources.
struct TResultsLeftOut {
    std::string outputFolder;              // its identity; empty: none
    std::optional<TOutputChoices> copies;  // names copies get; none: no copies
};

TResultsLeftOut ResultsLeftOut(const TConversionSettings& settings)
{
    TResultsLeftOut leftOut;
    if (!ResultsBesideSources(settings))
        leftOut.outputFolder = FileIdentity(settings.Output.Folder);
    else if (settings.SaveAsCopy)
        leftOut.copies = settings.Output;
    return leftOut;
}

bool LeftOutFile(const std::string& name, const TResultsLeftOut& leftOut)
{
    return leftOut.copies && IsCopyName(name, *leftOut.copies);
}

bool LeftOutFolder(const std::string& path, const TResultsLeftOut& leftOut)
{
    return !leftOut.outputFolder.empty() && FileIdentity(path) == leftOut.outputFolder;
}

void SearchFolder(TSession& session, const std::string& folder, const std::string& mask, const TResultsLeftOut& leftOut)
{
    // An empty folder text names no folder: it must not become "/", where a
    // run without copies would overwrite pictures anywhere.
    const std::string dir = (folder.empty() || folder.back() == '/') ? folder : folder + "/";
    TFrontEnd& frontEnd = session.FrontEnd();
    if (folder.empty() || !IsFolder(dir)) {
        // Every ticked type searches the folder again: one message is enough.
        if (!session.FolderMissing)
            frontEnd.ShowMessage("Das Verzeichnis \"" + dir + "\" existiert nicht!");
        session.FolderMissing = true;
        return;
    }
    const std::vector<std::string> names = FolderEntries(dir);
    for (const std::string& name : names)
        if (name.size() > 2 && MatchesFileType(name, mask) && IsPictureCandidate(dir + name) &&
            !LeftOutFile(name, leftOut))
            frontEnd.AddSelection(dir + name);

    if (!frontEnd.CurrentSettings().SearchSubfolders)
        return;
    for (const std::string& name : names)
        if (name.front() != '.' && IsDescendableFolder(dir + name) && !LeftOutFolder(dir + name, leftOut))
            SearchFolder(session, dir + name, mask, leftOut);
}

}  // namespace

bool MatchesFileType(const std::string& name, const std::string& mask)
{
    const FormatIndex format = FormatIndexOf(mask);
    return MatchesMask(name, mask) || (format != fiUnknown && FormatIndexOfName(name) == format);
}

bool MatchesMask(const std::string& name, const std::string& mask)
{
    size_t n = 0, m = 0;
    size_t starMask = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && mask[m] == '?') {
            n += CharacterLength(name, n);
            ++m;
        } else if (m < mask.size() && LowerAscii(mask[m]) == LowerAscii(name[n])) {
            ++n;
            ++m;
        } else if (starMask != std::string::npos) {
            // Let the last "*" swallow one more character and try again.
            starName += CharacterLength(name, starName);
            n = starName;
            m = starMask + 1;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

void SearchPictures(TSession& session, const std::string& folder, const std::string& mask)
{
    SearchFolder(session, folder, mask, ResultsLeftOut(session.FrontEnd().CurrentSettings()));
}

}  // namespace corvalin

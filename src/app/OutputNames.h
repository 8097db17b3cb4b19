// Where one file's result goes and what it is called: the output folder
// with the searched tree recreated below it, the copy's name, and what an
// existing target means.
#pragma once

#include <optional>
#include <string>

#include "app/ConversionSettings.h"
#include "formats/FormatTable.h"

namespace corvalin {

// Whether a text may be a copy's prefix or suffix: no "/" and no control
// character, so that a name never reaches into another folder.
bool IsNameText(const std::string& text);
inline constexpr const char* kNameTextRule =
    "Namensvorsatz und -zusatz dürfen weder \"/\" noch Steuerzeichen enthalten";

// Folder part (up to and including the last "/") + prefix + stem + suffix +
// extension (the text from the name's last "."). Throws EConvertError for
// a prefix or suffix that is no name text.
std::string MakeCopyName(const std::string& fileName, const std::string& prefix, const std::string& suffix);

// Whether a name (without folder) is one that copies with these choices
// get: it begins with the prefix and its stem ends with the suffix. No name
// is when both are empty.
bool IsCopyName(const std::string& name, const TOutputChoices& output);

// Whether results land beside their sources: no output folder, or one that
// is the searched folder itself.
bool ResultsBesideSources(const TConversionSettings& settings);

// Whether a conversion replaces its source by design: no copy and no output
// folder.
bool ConvertsInPlace(const TConversionSettings& settings);

// Whether a copy can be told from its source by its name alone beside it,
// as the plain copies are: a waiting source it would replace is then no
// source of this run's own making.
bool CopiesBesideSources(const TConversionSettings& settings);

// The path the source's result is written under before its format is
// applied: the source or its copy name, in the output folder below the
// source's folder relative to the searched folder (settings.Directory), or,
// without one, relative to the current folder for a source named so.
std::string KeptName(const std::string& source, const TConversionSettings& settings);

// The formats of the source's conversion (see TFormatChoice), decided once
// for the file by every part of the run that needs them, the desktop's
// checks among them: the source name's format, and the result's, which is
// the settings' target format (its stored number, 1..kFormatCount) or, with
// none chosen (0), the source name's; fiUnknown when neither is one of the
// table. The reader is left to the load.
TFormatChoice ChooseFormats(const std::string& source, const TConversionSettings& settings);

// name_1.ext, name_2.ext, ...: the number before the extension.
std::string NumberedName(const std::string& path, int number);

// Whether anything has this name (a file, a folder, a link, even a broken one).
bool NameTaken(const std::string& path);

// Creates the folders of the path's folder part that are missing; throws
// EFCreateError with the system's reason.
void CreateFoldersFor(const std::string& path);

// Creates the output folder when missing and checks that new files can be
// made in it; the message naming the folder and the system's reason when
// not. Nothing for an empty folder text.
std::optional<std::string> OutputFolderProblem(const std::string& folder);

}  // namespace corvalin

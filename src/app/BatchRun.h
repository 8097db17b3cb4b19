// The batch run: the search that fills the selection window, and the run
// loop that converts the ticked files and writes the result list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/Session.h"

namespace corvalin {

// "&Umwandeln...": empties the selection and result lists, searches once per
// ticked file type, ticks every entry; with AutoConvert runs at once,
// otherwise shows the selection window. A firstLine that is not empty heads
// the result list, before the search lines.
void btnConvertClick(TSession& session, const std::string& firstLine = "");

// Converts every ticked entry of the selection window, writing one line per
// file and the summary; stops between files when the progress window was
// closed. Never throws; the summary is always written once the run starts.
// It does not start, and shows why, when the settings contradict
// themselves (the session's RunRefused: a copy that would land on its own
// source, a prefix or suffix holding "/" or a control character) or the
// output folder cannot be created or written (OutputFolderUnusable). With
// AutoConvert it asks the program to end.
void RunConversion(TSession& session);

// Why settings contradict themselves for these sources, as RunConversion
// refuses them: a name text that is none, or a copy (or a result for an
// output folder) that would land on its own source. Nothing when they do not.
std::optional<std::string> RunContradiction(const TSession& session, const TConversionSettings& settings,
                                            const std::vector<std::string>& sources);

// The settings one source is converted with: in a script's run each named
// source keeps its tree below its own folder (the session's NamedSources).
TConversionSettings SettingsForSource(const TSession& session, TConversionSettings settings, const std::string& source);

// Texts of the result list.
inline constexpr const char* kSeparatorLine =
    "___________________________________________________________";
// The folder as typed and the mask, joined by one "/".
std::string SearchLine(const std::string& folderText, const std::string& mask);
std::string FileLine(const std::string& path, int64_t before, int64_t after);
// "Abgebrochen nach 3 von 12 Dateien": a cancelled run, before its summary.
std::string CancelledLine(int32_t done, int32_t ticked);
std::string FailureLine(const std::string& path);
// The line of a file whose existing target was left alone ("skip").
std::string SkippedLine(const std::string& path);
// What FileLine gains when a size limit lowered the quality.
std::string QualityNote(int32_t quality);
// What the line of a file gains whose original went to the trash.
inline constexpr const char* kTrashedNote = " (Original im Papierkorb)";

}  // namespace corvalin

// Presets: the settings saved under a name, each in a file NAME.conf of the
// folder "presets" beside the settings store, in the store's format. A
// preset holds every setting but the folder to search.
#pragma once

#include <string>
#include <vector>

#include "app/Session.h"

namespace corvalin {

// The folder of the presets that belong to the store at storePath.
std::string PresetFolder(const std::string& storePath);
std::string PresetPath(const std::string& storePath, const std::string& name);

// A name may become a file name in the preset folder: not empty, no "/", no
// control character, not "." or "..".
bool IsPresetName(const std::string& name);

// The names of the saved presets, sorted; none when the folder is missing.
std::vector<std::string> PresetNames();
std::vector<std::string> PresetNames(const std::string& storePath);

// Each shows a message (through the front end) and returns false when the
// name is refused or the file cannot be read, written or removed.
bool SavePreset(TSession& session, const std::string& name);
bool SavePreset(TSession& session, const std::string& name, const std::string& storePath);
// Fills the controls from the preset; the folder they show stays.
bool LoadPreset(TSession& session, const std::string& name);
bool LoadPreset(TSession& session, const std::string& name, const std::string& storePath);
bool DeletePreset(TSession& session, const std::string& name);
bool DeletePreset(TSession& session, const std::string& name, const std::string& storePath);

}  // namespace corvalin

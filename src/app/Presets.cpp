#include "app/Presets.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/Settings.h"
#include "app/SettingsStore.h"

namespace corvalin {

namespace {

constexpr const char* kPresetExtension = ".conf";

// A refused name gets a message; callers stop there.
bool AcceptedName(TSession& session, const std::string& name)
{
    if (IsPresetName(name))
        return true;
    session.FrontEnd().ShowMessage("\"" + name +
                                   "\" ist kein gültiger Name für eine Voreinstellung "
                                   "(leer, \"/\" oder Steuerzeichen)");
    return false;
}

}  // namespace

std::string PresetFolder(const std::string& storePath)
{
    return std::filesystem::path(storePath).parent_path().string() + "/presets";
}

std::string PresetPath(const std::string& storePath, const std::string& name)
{
    return PresetFolder(storePath) + "/" + name + kPresetExtension;
}

bool IsPresetName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::vector<std::string> PresetNames()
{
    return PresetNames(SettingsStorePath());
}

std::vector<std::string> PresetNames(const std::string& storePath)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(PresetFolder(storePath), error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::path file = entry->path();
        if (file.extension() == kPresetExtension && entry->is_regular_file(error) && IsPresetName(file.stem().string()))
            names.push_back(file.stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool SavePreset(TSession& session, const std::string& name)
{
    return SavePreset(session, name, SettingsStorePath());
}

bool SavePreset(TSession& session, const std::string& name, const std::string& storePath)
{
    if (!AcceptedName(session, name))
        return false;
    TSettingsStore store = TSettingsStore::Create(PresetPath(storePath, name));
    WriteSettings(session, store);
    try {
        store.Save();
    } catch (const std::exception& error) {
        session.FrontEnd().ShowMessage("Die Voreinstellung \"" + name +
                                       "\" konnte nicht gespeichert werden: " + error.what());
        return false;
    }
    return true;
}

bool LoadPreset(TSession& session, const std::string& name)
{
    return LoadPreset(session, name, SettingsStorePath());
}

bool LoadPreset(TSession& session, const std::string& name, const std::string& storePath)
{
    if (!AcceptedName(session, name))
        return false;
    const std::string path = PresetPath(storePath, name);
    // Open() takes a missing file for an empty store; a preset must exist.
    std::error_code error;
    const bool exists = std::filesystem::is_regular_file(path, error);
    const TSettingsStore store = exists ? TSettingsStore::Open(path) : TSettingsStore();
    if (!exists || !store.Opened()) {
        session.FrontEnd().ShowMessage("Die Voreinstellung \"" + name +
                                       "\" existiert nicht oder kann nicht gelesen werden!");
        return false;
    }
    ApplyStoredSettings(session, store);
    return true;
}

bool DeletePreset(TSession& session, const std::string& name)
{
    return DeletePreset(session, name, SettingsStorePath());
}

bool DeletePreset(TSession& session, const std::string& name, const std::string& storePath)
{
    if (!AcceptedName(session, name))
        return false;
    std::error_code error;
    if (!std::filesystem::remove(PresetPath(storePath, name), error) || error) {
        session.FrontEnd().ShowMessage("Die Voreinstellung \"" + name + "\" konnte nicht gelöscht werden!");
        return false;
    }
    return true;
}

}  // namespace corvalin

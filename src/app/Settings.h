// Loading the settings from the per-user store into the main window and
// writing them back, and UpdateControls.
#pragma once

#include <string>

#include "app/Session.h"
#include "app/SettingsStore.h"

namespace corvalin {

// Fills the controls (through the front end) and the session from the store
// at path (default: SettingsStorePath()), then calls UpdateControls. A store
// that cannot be read gives the defaults; no message is shown.
void LoadSettings(TSession& session);
void LoadSettings(TSession& session, const std::string& storePath);
// firstFolder is the folder to search when the store names none (the
// others take the working folder).
void LoadSettings(TSession& session, const std::string& storePath, const std::string& firstFolder);

// Writes every setting, in the fixed order, atomically. Nothing is written
// (and no message shown) when the store cannot be written.
void SaveSettings(TSession& session);
void SaveSettings(TSession& session, const std::string& storePath);

// A preset: the settings of a store other than the per-user one. Apply
// fills the controls as LoadSettings does, but a store without a folder
// ("path") keeps the folder the window shows; Write writes every setting
// but the folder.
void ApplyStoredSettings(TSession& session, const TSettingsStore& store);
void WriteSettings(TSession& session, TSettingsStore& store);

// Re-evaluates the dependent controls from the current settings.
void UpdateControls(TSession& session);

}  // namespace corvalin

// Loading the settings from the per-user store into the main window and
// writing them back, and UpdateControls.
#pragma once

#include <string>

#include "app/Session.h"

namespace corvalin {

// Fills the controls (through the front end) and the session from the store
// at path (default: SettingsStorePath()), then calls UpdateControls. A store
// that cannot be read gives the defaults; no message is shown.
void LoadSettings(TSession& session);
void LoadSettings(TSession& session, const std::string& storePath);

// Writes every setting, in the fixed order, atomically. Nothing is written
// (and no message shown) when the store cannot be written.
void SaveSettings(TSession& session);
void SaveSettings(TSession& session, const std::string& storePath);

// Re-evaluates the dependent controls from the current settings.
void UpdateControls(TSession& session);

}  // namespace corvalin

// A folder or picture handed over as a plain argument, the way a desktop's
// "Open with" or a file manager starts a program.
#pragma once

#include <optional>
#include <string>

#include "app/Session.h"

namespace corvalin {

// The folder to fill in for an argument that is no switch and names an
// existing folder, or an existing picture (then its folder): absolute, with a
// trailing "/". Nothing for every other argument.
std::optional<std::string> FolderToOpen(const std::string& argument);

// Fills the folder in when the argument names one; says whether it did.
bool ApplyFolderToOpen(TSession& session, const std::string& argument);

}  // namespace corvalin

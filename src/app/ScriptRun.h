// A run driven by the long options, for shells and scripts: the named files
// and folders with the built-in defaults, its results as the German list or
// JSON Lines, or only the targets it would write.
#pragma once

#include <string>
#include <vector>

namespace corvalin {

// Reads the long options and runs. Exit status 0 when every file was
// converted (or skipped), 1 when any failed or a named folder or the output
// folder could not be used, 2 when an option was refused or the settings
// contradict themselves (nothing converted then).
int RunScript(const std::vector<std::string>& arguments);

// The names of a list: one per line, or each ended by NUL; empty names are
// left out, a last name needs no end mark.
std::vector<std::string> SplitNameList(const std::string& list, bool nulSeparated);

}  // namespace corvalin

// The command-line switches that fill the settings and start an automatic run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/Session.h"

namespace corvalin {

// Applies every parameter, first to last, and starts the automatic run when
// "/auto" asked for it. The shell has already split the command line: each
// argument (without the program name) is one parameter, and double quotation
// marks left inside an argument are dropped as the command line's own
// grouping marks. An argument that is no switch and names an existing folder
// or picture fills in that folder (or the picture's). A refused parameter (a
// yes/no switch whose value is neither empty, 0 nor 1) shows "Ungültiger
// Kommandozeilenparameter", sets the session's ParameterRefused and keeps the
// automatic run from starting. The automatic run trashes replaced originals
// only with "/trash=1" (the windows' setting is left as it was), and one
// that replaces originals says so in its first line.
void ParseCommandLine(TSession& session, const std::vector<std::string>& arguments);

// Yes for no value, an empty value or "1"; no for "0"; throws EConvertError
// for any other value.
bool ReadFlagSwitch(const std::string& parameter, const std::string& switchName);
std::string ReadTextSwitch(const std::string& parameter, const std::string& switchName);
int32_t ReadNumberSwitch(const std::string& parameter, const std::string& switchName,
                         int32_t minimum, int32_t maximum, int32_t current);

// The 38 lines of the help, separated by "\r", without a final line break.
std::string HelpText();

// Whether a parameter is one of the help switches.
bool IsHelpSwitch(const std::string& parameter);
// Whether a parameter begins with the name of any switch.
bool IsSwitch(const std::string& parameter);

}  // namespace corvalin

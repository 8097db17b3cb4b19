// The command-line switches that fill the settings and start an automatic run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/Session.h"

namespace corvalin {

// Applies every parameter (the program's arguments without the program
// name, one parameter per argument) and starts the automatic run when
// "/auto" asked for it.
void ParseCommandLine(TSession& session, const std::vector<std::string>& parameters);

// Splits a whole command line: runs of characters up to code 32 separate
// parameters, double quotation marks group blanks and are dropped.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

bool ReadFlagSwitch(const std::string& parameter, const std::string& switchName);
std::string ReadTextSwitch(const std::string& parameter, const std::string& switchName);
int32_t ReadNumberSwitch(const std::string& parameter, const std::string& switchName,
                         int32_t minimum, int32_t maximum, int32_t current);

// The 18 lines of the help, separated by "\r", without a final line break.
std::string HelpText();

// Whether a parameter is one of the help switches.
bool IsHelpSwitch(const std::string& parameter);

}  // namespace corvalin

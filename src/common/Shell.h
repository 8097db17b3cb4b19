// Handing work to the desktop: open a document, folder or address with the
// program the desktop associates with it, write an e-mail, visit a web page.
// All starts go through the launcher (common/Launcher.h) and never wait.
#pragma once

#include <cstdint>
#include <string>

namespace corvalin {

// Result codes of ShellOpen and SendMailTo: greater than 32 means started.
inline constexpr int32_t kShellStarted = 42;
inline constexpr int32_t kShellNotStarted = 2;
// Codes up to this limit mean that nothing was started.
inline constexpr int32_t kShellNotStartedLimit = 32;

// ("explorer", folder) shows the folder in the file manager; (document, "")
// opens the document, folder or address with its associated program; any
// other program is started with the parameters as its one argument.
int32_t ShellOpen(const std::string& file, const std::string& parameters);

// Starts the mail program with a new message to address (inserted as it is).
int32_t SendMailTo(const std::string& address);

// Opens url in the browser named by BROWSER, else with the desktop's handler
// for the address. Never throws; true when a program was started.
bool OpenUrlInBrowser(const std::string& url);

// There is no Windows version on this system: always -1.
int32_t GetWindowsVersion();

// The program part of a browser command: a leading double quote keeps what
// stands before the next quote; otherwise, when the first blank is not the
// first character, the name ends there; otherwise the text is kept whole.
std::string BrowserProgramName(const std::string& command);

// The browser command from BROWSER: its first entry when it is a
// ":"-separated list; empty when the variable is unset.
std::string BrowserFromEnvironment();

}  // namespace corvalin

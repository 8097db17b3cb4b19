// Corvalin's program start: a script's run for the long options, the desktop
// windows when a display exists, and a run without windows otherwise.

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ConsoleFrontEnd.h"
#include "app/GnuOptions.h"
#include "app/ScriptRun.h"
#include "app/Session.h"
#include "app/Settings.h"

#ifdef CORVALIN_WITH_GUI
#include "desktop/Desktop.h"
#endif

namespace {

#ifdef CORVALIN_WITH_GUI
bool HaveDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0')
            return true;
    }
    return false;
}
#endif

// The options every Linux program answers, with or without a display, before
// anything else happens.
std::optional<int> AnswerLinuxOption(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            std::fputs(corvalin::LongOptionsHelp().c_str(), stdout);
            return std::fflush(stdout) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
        }
        if (argument == "--version") {
            std::printf("Corvalin %s\n", CORVALIN_VERSION);
            return std::fflush(stdout) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
        }
    }
    return std::nullopt;
}

bool AsksForHelp(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments)
        if (corvalin::IsHelpSwitch(argument))
            return true;
    return false;
}

// Without windows only the automatic run and the help have anything to do:
// the settings come from the store and the switches, exactly as in the
// window; the result lines go to standard output, messages and the reason of
// each failed file to standard error. Exit status 1 when any file failed,
// the folder does not exist or the output folder cannot be used, 2 when a
// parameter was refused, the settings contradict themselves or the stamp
// was refused.
int RunHeadless(const std::vector<std::string>& arguments)
{
    // Output nobody reads any more ("| head -1") must not end the run
    // before its files are converted.
    std::signal(SIGPIPE, SIG_IGN);
    corvalin::TConsoleFrontEnd frontEnd;
    corvalin::TSession session(frontEnd);
    corvalin::LoadSettings(session);
    corvalin::ParseCommandLine(session, arguments);
    if (session.ParameterRefused || session.RunRefused)
        return 2;
    if (session.AutoConvert)
        return session.LastRun.failed == 0 && !session.FolderMissing && !session.OutputFolderUnusable ? EXIT_SUCCESS
                                                                                                      : EXIT_FAILURE;
    if (AsksForHelp(arguments))
        return EXIT_SUCCESS;
    std::fputs("Ohne Anzeige arbeitet Corvalin nur mit /auto=1 (Hilfe: /?).\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (const std::optional<int> status = AnswerLinuxOption(arguments))
        return *status;
    // The long options are for shells and scripts: never a window.
    if (corvalin::UsesLongOptions(arguments)) {
        std::signal(SIGPIPE, SIG_IGN);
        return corvalin::RunScript(arguments);
    }
#ifdef CORVALIN_WITH_GUI
    if (HaveDisplay())
        return corvalin::RunDesktop(argc, argv);
#endif
    return RunHeadless(arguments);
}

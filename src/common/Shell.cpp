#include "common/Shell.h"

#include <cstdlib>

#include "common/Launcher.h"

namespace corvalin {
namespace {

constexpr const char* kDesktopOpener = "xdg-open";

int32_t ResultCode(bool started)
{
    return started ? kShellStarted : kShellNotStarted;
}

bool OpenWithDesktop(const std::string& target)
{
    return CurrentLauncher().StartDetached(kDesktopOpener, {target});
}

}  // namespace

int32_t ShellOpen(const std::string& file, const std::string& parameters)
{
    if (file == "explorer")
        return ResultCode(OpenWithDesktop(parameters));
    if (parameters.empty())
        return ResultCode(OpenWithDesktop(file));
    return ResultCode(CurrentLauncher().StartDetached(file, {parameters}));
}

int32_t SendMailTo(const std::string& address)
{
    return ShellOpen("mailto:" + address, "");
}

std::string BrowserProgramName(const std::string& command)
{
    if (command.empty())
        return command;
    if (command[0] == '"') {
        const size_t closing = command.find('"', 1);
        return closing == std::string::npos ? std::string() : command.substr(1, closing - 1);
    }
    // Only the first blank counts: one in front keeps the whole text.
    const size_t blank = command.find(' ');
    return (blank == std::string::npos || blank == 0) ? command : command.substr(0, blank);
}

std::string BrowserFromEnvironment()
{
    const char* value = std::getenv("BROWSER");
    if (value == nullptr)
        return {};
    const std::string list = value;
    return list.substr(0, list.find(':'));
}

bool OpenUrlInBrowser(const std::string& url)
{
    bool started = false;
    try {
        const std::string browser = BrowserProgramName(BrowserFromEnvironment());
        if (!browser.empty())
            started = CurrentLauncher().StartDetached(browser, {url});
    } catch (...) {
        started = false;
    }
    if (started)
        return true;
    try {
        return OpenWithDesktop(url);
    } catch (...) {
        return false;
    }
}

int32_t GetWindowsVersion()
{
    return -1;
}

}  // namespace corvalin

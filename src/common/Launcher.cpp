#include "common/Launcher.h"

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvalin {
namespace {

// Forks twice so the started program is adopted by init and never becomes
// our zombie. A close-on-exec pipe tells whether exec succeeded: it is
// closed without a byte when it did, and carries errno when it did not.
class TSystemLauncher : public TLauncher {
public:
    bool StartDetached(const std::string& program,
                       const std::vector<std::string>& arguments) override
    {
        // Everything the children need is prepared before fork: between fork
        // and exec only async-signal-safe calls are made.
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);

        int status[2];
        if (pipe2(status, O_CLOEXEC) != 0)
            return false;
        const pid_t middle = fork();
        if (middle < 0) {
            close(status[0]);
            close(status[1]);
            return false;
        }
        if (middle == 0)
            RunMiddleChild(argv.data(), status);

        close(status[1]);
        int ignored = 0;
        while (waitpid(middle, &ignored, 0) < 0 && errno == EINTR) {
        }
        int childError = 0;
        ssize_t got;
        while ((got = read(status[0], &childError, sizeof childError)) < 0 && errno == EINTR) {
        }
        close(status[0]);
        return got == 0;
    }

private:
    [[noreturn]] static void RunMiddleChild(char* const* argv, const int status[2])
    {
        close(status[0]);
        const pid_t program = fork();
        if (program == 0) {
            setsid();
            signal(SIGPIPE, SIG_DFL);
            const int devNull = open("/dev/null", O_RDONLY);
            if (devNull >= 0) {
                dup2(devNull, STDIN_FILENO);
                close(devNull);
            }
            execvp(argv[0], argv);
            const int error = errno;
            ssize_t ignored = write(status[1], &error, sizeof error);
            (void)ignored;
            _exit(127);
        }
        if (program < 0) {
            const int error = errno;
            ssize_t ignored = write(status[1], &error, sizeof error);
            (void)ignored;
        }
        _exit(0);
    }
};

TSystemLauncher systemLauncher;
TLauncher* installedLauncher = nullptr;

}  // namespace

TLauncher& CurrentLauncher()
{
    return installedLauncher ? *installedLauncher : systemLauncher;
}

void SetLauncher(TLauncher* launcher)
{
    installedLauncher = launcher;
}

}  // namespace corvalin

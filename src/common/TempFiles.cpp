#include "common/TempFiles.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <set>

namespace corvalin {

namespace {

constexpr const char kPrefix[] = ".~corvalin.";

// The watched names live in fixed storage: the signal handler may only read
// memory and call unlink.
constexpr int kSlots = 8;
char gPaths[kSlots][PATH_MAX];
std::atomic<bool> gUsed[kSlots];
std::mutex gSlotMutex;

extern "C" void RemoveWatchedAndDie(int signal)
{
    for (int slot = 0; slot < kSlots; ++slot)
        if (gUsed[slot].load())
            ::unlink(gPaths[slot]);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

void InstallHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : {SIGTERM, SIGINT}) {
            struct sigaction action {};
            ::sigaction(signal, nullptr, &action);
            if (action.sa_handler != SIG_DFL)
                continue;  // someone else handles (or ignores) it
            action.sa_handler = RemoveWatchedAndDie;
            sigemptyset(&action.sa_mask);
            action.sa_flags = 0;
            ::sigaction(signal, &action, nullptr);
        }
    });
}

// The pid part of a temporary name; 0 when there is none.
pid_t OwnerOf(const std::string& name)
{
    const size_t start = sizeof kPrefix - 1;
    const size_t dot = name.find('.', start);
    if (dot == std::string::npos || dot == start || dot - start > 9)
        return 0;
    pid_t pid = 0;
    for (size_t i = start; i < dot; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        pid = pid * 10 + (name[i] - '0');
    }
    return pid;
}

bool IsRunning(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace

std::string NewTemporaryName(const std::string& folder)
{
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::string tail;
    for (int i = 0; i < 8; ++i)
        tail += digits[random() % (sizeof digits - 1)];
    return folder + "/" + kPrefix + std::to_string(::getpid()) + "." + tail + "~";
}

bool IsTemporaryFileName(const std::string& name)
{
    return name.starts_with(kPrefix) && name.ends_with("~") && OwnerOf(name) != 0;
}

void RemoveLeftoverTemporaries(const std::string& folder)
{
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::lock_guard lock(mutex);
        if (!swept.insert(folder).second)
            return;
    }
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        // A name of a run that still lives is that run's, in the instant
        // between its link and its rename.
        if (IsTemporaryFileName(name) && OwnerOf(name) != ::getpid() && !IsRunning(OwnerOf(name)))
            ::unlinkat(::dirfd(dir.get()), name.c_str(), 0);
    }
}

TTemporaryWatch::TTemporaryWatch(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return;
    InstallHandlers();
    std::lock_guard lock(gSlotMutex);
    for (int slot = 0; slot < kSlots; ++slot) {
        if (gUsed[slot].load())
            continue;
        // The path is complete before the handler may look at it.
        std::memcpy(gPaths[slot], path.c_str(), path.size() + 1);
        gUsed[slot].store(true);
        slot_ = slot;
        return;
    }
}

void TTemporaryWatch::Forget() noexcept
{
    if (slot_ < 0)
        return;
    std::lock_guard lock(gSlotMutex);
    gUsed[slot_].store(false);
    slot_ = -1;
}

}  // namespace corvalin

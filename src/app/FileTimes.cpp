#include "app/FileTimes.h"

#include <fcntl.h>

#include <cerrno>

#include "common/Exceptions.h"
#include "common/Tools.h"

namespace corvalin {

namespace {

[[noreturn]] void ThrowFileTimeError(int error)
{
    throw EInOutError(FormatText("E/A-Fehler %d: %s", {std::to_string(error), SystemErrorText(error)}));
}

}  // namespace

TFileTimes FileTimesOf(const std::string& fileName)
{
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0)
        ThrowFileTimeError(errno);
    return {info.st_atim, info.st_mtim};
}

void SetFileTimes(const std::string& fileName, const TFileTimes& times)
{
    const timespec both[2] = {times.access, times.modification};
    if (::utimensat(AT_FDCWD, fileName.c_str(), both, 0) != 0)
        ThrowFileTimeError(errno);
}

}  // namespace corvalin

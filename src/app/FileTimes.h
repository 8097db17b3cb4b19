// A file's access and modification times, taken from one file for another.
#pragma once

#include <sys/stat.h>

#include <string>

namespace corvalin {

struct TFileTimes {
    timespec access{};
    timespec modification{};
};

// The times of the file a name points to; throws EInOutError when it cannot
// be asked.
TFileTimes FileTimesOf(const std::string& fileName);

// Gives the file these times; throws EInOutError when they cannot be set.
void SetFileTimes(const std::string& fileName, const TFileTimes& times);

}  // namespace corvalin

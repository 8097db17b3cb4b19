// Named temporary files of the atomic writer: their names, the removal of
// those a killed run left behind, and their removal on SIGTERM and SIGINT.
#pragma once

#include <string>

namespace corvalin {

// A fresh name ".~corvalin.<pid>.<random>~" for a temporary file in folder
// (full path). No user file is named like this.
std::string NewTemporaryName(const std::string& folder);

// Whether a file name (without folder) has the form NewTemporaryName gives.
bool IsTemporaryFileName(const std::string& name);

// Removes, once per folder and process, the temporary files that runs which
// no longer exist left in folder.
void RemoveLeftoverTemporaries(const std::string& folder);

// Remembers a named temporary file, so that SIGTERM or SIGINT removes it
// before the program ends; Forget when it was renamed or removed. At most a
// few names are watched at once; beyond them a name is simply not watched.
class TTemporaryWatch {
public:
    explicit TTemporaryWatch(const std::string& path);
    ~TTemporaryWatch() { Forget(); }
    TTemporaryWatch(const TTemporaryWatch&) = delete;
    TTemporaryWatch& operator=(const TTemporaryWatch&) = delete;
    void Forget() noexcept;

private:
    int slot_ = -1;
};

}  // namespace corvalin

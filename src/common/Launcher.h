// Starting other programs without waiting for them. Everything that leaves
// the program for the desktop (file manager, mail program, browser) goes
// through one launcher, so tests can put a recorder in its place.
#pragma once

#include <string>
#include <vector>

namespace corvalin {

class TLauncher {
public:
    virtual ~TLauncher() = default;
    // Runs program (searched in PATH) with the arguments, detached: the call
    // never waits for it. True when the program could be run.
    virtual bool StartDetached(const std::string& program,
                               const std::vector<std::string>& arguments) = 0;
};

// The launcher in use: the system's own unless a test installed another.
TLauncher& CurrentLauncher();
// Installs a launcher (not owned); nullptr puts the system's back.
void SetLauncher(TLauncher* launcher);

}  // namespace corvalin

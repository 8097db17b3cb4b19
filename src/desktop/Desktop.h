// The desktop program: the Qt application with its main window.
#pragma once

namespace corvalin {

// Runs the program with its windows; returns the exit status. With
// "/auto=1" the batch runs while the main window stays hidden and the
// program ends after it (status 1 when any file failed).
int RunDesktop(int argc, char** argv);

}  // namespace corvalin

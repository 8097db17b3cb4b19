// The desktop's trash (freedesktop.org), through GLib's GIO: a replaced
// original can be taken back from the file manager.
#pragma once

#include <string>

namespace corvalin {

// Moves the file to the trash of the user (or of its file system). Throws
// EFCreateError naming the file and GIO's reason when it cannot be trashed
// (no trash on that file system, none that can be created), and the file
// then stays where it is.
void MoveToTrash(const std::string& path);

}  // namespace corvalin

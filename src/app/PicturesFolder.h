// The folder the window offers on its first start, before any folder is
// stored: a program started from the desktop menu works in the home folder,
// and searching all of it is never what the user meant.
#pragma once

#include <string>

namespace corvalin {

// The XDG pictures folder (XDG_PICTURES_DIR of user-dirs.dirs in the
// configuration folder) when it exists, else the home folder, else the
// working folder; with a final "/".
std::string PicturesFolder();

}  // namespace corvalin

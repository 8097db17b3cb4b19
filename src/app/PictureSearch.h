// Finding picture files in a folder and, when asked, its sub-folders.
#pragma once

#include <string>

#include "app/Session.h"

namespace corvalin {

// Adds every file of folder whose name matches mask to the selection window,
// then (with SearchSubfolders) searches each sub-folder the same way, depth
// first in name order. Hidden files are found; folders starting with "." and
// links to folders are not descended into. A missing folder shows
// "Das Verzeichnis "<folder/>" existiert nicht!".
void SearchPictures(TSession& session, const std::string& folder, const std::string& mask);

// Wildcard match with "*" and "?", letters compared without regard to case.
bool MatchesMask(const std::string& name, const std::string& mask);

}  // namespace corvalin

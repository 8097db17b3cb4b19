// Finding picture files in a folder and, when asked, its sub-folders.
#pragma once

#include <string>

#include "app/Session.h"

namespace corvalin {

// Adds every file of folder whose name matches mask to the selection window,
// then (with SearchSubfolders) searches each sub-folder the same way, depth
// first in name order. Hidden files are found; folders starting with "." and
// links to folders are not descended into. Earlier results are left out: an
// output folder (when it is not the searched folder itself) is not
// descended into, and otherwise, with copies, files named as copies are
// (IsCopyName). A missing folder (an empty
// folder text is one) shows "Das Verzeichnis "<folder>/" existiert nicht!",
// naming it with one trailing slash, unless the session's FolderMissing is already set by
// an earlier type of the same search, and sets it.
void SearchPictures(TSession& session, const std::string& folder, const std::string& mask);

// Wildcard match with "*" and "?", letters compared without regard to case.
bool MatchesMask(const std::string& name, const std::string& mask);

// MatchesMask, and for a file type's mask such as "*.jpg" also the longer
// extensions of that format (".jpeg", ".jpe"), as a three-letter mask
// matched them on the platform the masks come from.
bool MatchesFileType(const std::string& name, const std::string& mask);

}  // namespace corvalin

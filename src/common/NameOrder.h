// The order in which a folder's entries are listed: names compared without
// regard to case, one character after the other (not a "natural" order that
// reads digits as numbers), as the directory enumeration of a case-blind
// file system returns them.
#pragma once

#include <string>

namespace corvalin {

// True when UTF-8 name a comes before b: their characters are compared
// after case folding; names that differ only in case keep their byte order,
// so the order is strict. A byte that is not UTF-8 counts as a character of
// its own.
bool NameComesBefore(const std::string& a, const std::string& b);

}  // namespace corvalin

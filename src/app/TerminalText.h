// Texts for a terminal: a file name may hold any byte but "/" and NUL, and
// control characters printed raw would move the cursor, set the window's
// title or clear the screen.
#pragma once

#include <string>
#include <string_view>

namespace corvalin {

// Which line breaks of a text are its own and stay: none (a result line),
// the "\r\n" pairs of reasons, or every "\r" and "\n" and tab (messages,
// whose lines are separated by them and whose help text has columns).
enum class TLineBreaks { Escaped, Pairs, Kept };

// The text with every other control character written as GNU ls -b writes
// it: "\a", "\b", "\t", "\n", "\v", "\f", "\r" and three octal digits for the
// rest ("\033" for ESC, "\177" for DEL, "\302\233" for the UTF-8 control
// characters U+0080..U+009F). Everything else stays as it is.
std::string TerminalText(std::string_view text, TLineBreaks breaks);

}  // namespace corvalin

#include "app/TerminalText.h"

namespace corvalin {

namespace {

bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

void AppendEscaped(std::string& out, unsigned char c)
{
    constexpr std::string_view kNamed = "abtnvfr";  // for 7..13
    if (c >= 7 && c <= 13) {
        out += '\\';
        out += kNamed[c - 7];
        return;
    }
    out += '\\';
    out += char('0' + (c >> 6));
    out += char('0' + ((c >> 3) & 7));
    out += char('0' + (c & 7));
}

bool KeptBreak(std::string_view text, size_t at, TLineBreaks breaks)
{
    const char c = text[at];
    if (breaks == TLineBreaks::Kept && c == '\t')
        return true;  // the columns of help texts
    if (c != '\r' && c != '\n')
        return false;
    switch (breaks) {
    case TLineBreaks::Kept: return true;
    case TLineBreaks::Pairs:
        return c == '\r' ? at + 1 < text.size() && text[at + 1] == '\n' : at > 0 && text[at - 1] == '\r';
    case TLineBreaks::Escaped: return false;
    }
    return false;
}

}  // namespace

std::string TerminalText(std::string_view text, TLineBreaks breaks)
{
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size(); ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        // U+0080..U+009F are two bytes in UTF-8: 0xC2 and 0x80..0x9F.
        if (c == 0xc2 && at + 1 < text.size() && (static_cast<unsigned char>(text[at + 1]) & 0xe0) == 0x80) {
            AppendEscaped(out, c);
            AppendEscaped(out, static_cast<unsigned char>(text[++at]));
        } else if (IsControl(c) && !KeptBreak(text, at, breaks)) {
            AppendEscaped(out, c);
        } else {
            out += char(c);
        }
    }
    return out;
}

}  // namespace corvalin

#include "common/NameOrder.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>

namespace corvalin {
namespace {

// Invalid bytes get code points no character has, above every real one.
constexpr char32_t kStrayByteBase = 0x110000;

// Decodes the character at position and moves position past it.
char32_t NextCharacter(const std::string& text, size_t& position)
{
    const auto byte = [&text](size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(position);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || position + length > text.size()) {
        ++position;
        return kStrayByteBase + lead;
    }
    char32_t code = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (size_t i = 1; i < length; ++i) {
        if ((byte(position + i) & 0xC0) != 0x80) {
            ++position;
            return kStrayByteBase + lead;
        }
        code = (code << 6) | (byte(position + i) & 0x3F);
    }
    position += length;
    return code;
}

// Lower case by the Unicode tables of the C.UTF-8 locale, whatever locale
// the program runs in; ASCII letters alone where that locale is missing.
char32_t Folded(char32_t code)
{
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    if (code >= kStrayByteBase)
        return code;
    if (unicode != locale_t(nullptr))
        return char32_t(towlower_l(wint_t(code), unicode));
    return (code >= U'A' && code <= U'Z') ? code + (U'a' - U'A') : code;
}

}  // namespace

bool NameComesBefore(const std::string& a, const std::string& b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t x = Folded(NextCharacter(a, i));
        const char32_t y = Folded(NextCharacter(b, j));
        if (x != y)
            return x < y;
    }
    if (i < a.size() || j < b.size())
        return j < b.size();
    return a < b;
}

}  // namespace corvalin

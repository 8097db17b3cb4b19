#include "common/Tools.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <optional>
#include <unistd.h>
#include <vector>

namespace corvalin {

namespace {

std::optional<NumberSeparators>& Separators()
{
    static std::optional<NumberSeparators> separators;
    return separators;
}

NumberSeparators ReadLocaleSeparators()
{
    // The environment's LC_NUMERIC, without changing the process's locale.
    const char* saved = std::setlocale(LC_NUMERIC, nullptr);
    const std::string previous = saved != nullptr ? saved : "C";
    NumberSeparators result{",", "."};
    if (std::setlocale(LC_NUMERIC, "") != nullptr) {
        const lconv* conv = std::localeconv();
        if (conv->thousands_sep != nullptr && conv->thousands_sep[0] != '\0' &&
            conv->decimal_point != nullptr && conv->decimal_point[0] != '\0')
            result = {conv->decimal_point, conv->thousands_sep};
    }
    std::setlocale(LC_NUMERIC, previous.c_str());
    return result;
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

}  // namespace

std::string InsertThousandSeparators(std::string digits)
{
    const size_t comma = digits.find(',');
    int n = int(comma == std::string::npos ? digits.size() : comma);
    while (n > 3) {
        n -= 3;
        digits.insert(digits.begin() + n, '.');
    }
    return digits;
}

double MinValue(double a, double b)
{
    return a < b ? a : b;
}

double MaxValue(double a, double b)
{
    return a > b ? a : b;
}

const NumberSeparators& RegionalSeparators()
{
    if (!Separators())
        Separators() = ReadLocaleSeparators();
    return *Separators();
}

void SetRegionalSeparators(NumberSeparators separators)
{
    Separators() = std::move(separators);
}

std::string FormatByteSize(int64_t size)
{
    static const char* const units[] = {" Bytes", " KB", " MB", " GB", " TB"};
    double x = double(size);
    int unit = 0;
    while (x > 1024) {
        x /= 1024;
        ++unit;
    }
    if (unit > 4)
        return "Wert zu groß";

    // Two decimals, a half rounded away from zero.
    const double rounded = std::round(std::fabs(x) * 100.0);
    const auto cents = static_cast<long long>(rounded);
    const std::string whole = std::to_string(cents / 100);
    const int hundredths = int(cents % 100);
    const std::string fraction{char('0' + hundredths / 10), char('0' + hundredths % 10)};

    const NumberSeparators& sep = RegionalSeparators();
    std::string grouped;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            grouped += sep.thousands;
        grouped += whole[i];
    }
    const bool negative = x < 0 && cents != 0;
    return (negative ? "-" : "") + grouped + sep.decimal + fraction + units[unit];
}

std::string CurrentDirectory()
{
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        // A folder that was deleted (or cannot be named) is no folder: empty,
        // which the search reports as missing, never "/".
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return "";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// Byte offset where the last `count` characters of UTF-8 text begin, or
// npos when the text has no more than count characters.
static size_t StartOfLastCharacters(const std::string& text, size_t count)
{
    size_t characters = 0;
    size_t start = text.size();
    for (size_t i = text.size(); i > 0; --i) {
        if ((static_cast<unsigned char>(text[i - 1]) & 0xC0) == 0x80)
            continue;
        if (++characters > count)
            return start;
        start = i - 1;
    }
    return std::string::npos;
}

std::string ShortenPath(const std::string& path, int32_t count)
{
    // Counted in characters, so that a cut never splits a UTF-8 sequence.
    const size_t start = count < 0 ? std::string::npos : StartOfLastCharacters(path, size_t(count));
    if (start == std::string::npos)
        return path;
    const std::string tail = path.substr(start);
    const size_t slash = tail.find('/');
    return "..." + (slash == std::string::npos ? tail : tail.substr(slash));
}

bool StartsWithText(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (AsciiLower(text[i]) != AsciiLower(prefix[i]))
            return false;
    return true;
}

std::optional<int32_t> ParseInteger(const std::string& text)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;  // "+5" is a whole number too; from_chars only takes "-"
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

}  // namespace corvalin

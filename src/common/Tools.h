// Small helpers that turn numbers and paths into the texts of the result
// list and the summary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace corvalin {

// Puts "." between groups of three digits of the integer part (before the first ",").
std::string InsertThousandSeparators(std::string digits);

// On equal arguments both return the second one.
double MinValue(double a, double b);
double MaxValue(double a, double b);

// "1,50 KB": the size divided by 1024 while it is greater than 1024, with
// two decimals and the locale's separators; "Wert zu groß" beyond TB.
std::string FormatByteSize(int64_t size);

// The separators FormatByteSize uses: read once from LC_NUMERIC; a locale
// without a thousands separator uses the German "," and ".".
struct NumberSeparators {
    std::string decimal;
    std::string thousands;
};
const NumberSeparators& RegionalSeparators();
// For tests and the program start: sets the separators explicitly.
void SetRegionalSeparators(NumberSeparators separators);

// The process's current folder, without a trailing "/" except for the root;
// empty when it no longer exists.
std::string CurrentDirectory();

// The path, or "..." and its last count characters, cut at a folder boundary
// when the tail holds a "/".
std::string ShortenPath(const std::string& path, int32_t count);

// Whether text starts with prefix, ignoring the case of the letters A to Z.
bool StartsWithText(const std::string& text, const std::string& prefix);

// Decimal whole number with an optional sign, within signed 32 bits.
std::optional<int32_t> ParseInteger(const std::string& text);

}  // namespace corvalin

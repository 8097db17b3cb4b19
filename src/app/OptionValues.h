// The values the switches and the long options take, checked once for both
// forms: each reader returns the setting's value or throws EConvertError
// with a German reason naming the option.
#pragma once

#include <cstdint>
#include <string>

namespace corvalin {

// More threads than this only cost memory.
inline constexpr int32_t kMaxThreads = 256;

// Whether a text is a whole number in writing: digits after an optional
// sign. Such a number may still lie outside any range.
bool IsWholeNumberText(const std::string& value);

// A whole number from minimum to maximum.
int32_t NumberValue(const std::string& value, const std::string& option, int32_t minimum, int32_t maximum);

// "keep" or an extension naming a format this build writes: the target
// list's position.
int32_t TargetFormatValue(const std::string& value);

// A copy's prefix or suffix: a text that would reach into another folder
// or hold a control character is refused.
std::string NameTextValue(const std::string& value);

// "replace", "skip" or "number", in any case: a TExistingTarget.
int32_t ExistingTargetValue(const std::string& value, const std::string& option);

// A size limit in KB, 0 for none.
int32_t KilobyteValue(const std::string& value, const std::string& option);

}  // namespace corvalin

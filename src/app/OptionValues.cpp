#include "app/OptionValues.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "app/ConversionSettings.h"
#include "app/OutputNames.h"
#include "common/Exceptions.h"
#include "common/Tools.h"

namespace corvalin {

namespace {

EConvertError InvalidValue(const std::string& value, const std::string& option)
{
    return EConvertError("\"" + value + "\" ist kein gültiger Wert für " + option);
}

}  // namespace

bool IsWholeNumberText(const std::string& value)
{
    const size_t digits = (!value.empty() && (value[0] == '+' || value[0] == '-')) ? 1 : 0;
    return value.size() > digits && std::all_of(value.begin() + std::ptrdiff_t(digits), value.end(),
                                                [](char c) { return c >= '0' && c <= '9'; });
}

int32_t NumberValue(const std::string& value, const std::string& option, int32_t minimum, int32_t maximum)
{
    const std::optional<int32_t> number = ParseInteger(value);
    if (!number || *number < minimum || *number > maximum)
        throw InvalidValue(value, option);
    return *number;
}

int32_t TargetFormatValue(const std::string& value)
{
    if (const std::optional<int32_t> target = TargetFormatOfExtension(value))
        return *target;
    throw EConvertError("\"" + value + "\" ist kein bekanntes Zielformat");
}

std::string NameTextValue(const std::string& value)
{
    if (!IsNameText(value))
        throw EConvertError(kNameTextRule);
    return value;
}

int32_t ExistingTargetValue(const std::string& value, const std::string& option)
{
    static const char* const words[] = {"replace", "skip", "number"};
    for (int32_t choice = etReplace; choice <= etNumber; ++choice)
        if (value.size() == std::string_view(words[choice]).size() && StartsWithText(value, words[choice]))
            return choice;
    throw InvalidValue(value, option);
}

int32_t KilobyteValue(const std::string& value, const std::string& option)
{
    // Any file this program writes is smaller than 2 GB.
    constexpr int32_t kMaxKilobytes = 2097151;
    return NumberValue(value, option, 0, kMaxKilobytes);
}

}  // namespace corvalin

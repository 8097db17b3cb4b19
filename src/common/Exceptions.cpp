#include "common/Exceptions.h"

#include <cstring>
#include <new>

namespace corvalin {

std::string FormatText(const std::string& pattern, std::initializer_list<std::string> args)
{
    std::string out;
    out.reserve(pattern.size() + 64);
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        const bool placeholder = pattern[i] == '%' && i + 1 < pattern.size() &&
                                 (pattern[i + 1] == 's' || pattern[i + 1] == 'd');
        if (placeholder && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string ReasonOf(const std::exception& error)
{
    // The library's "std::bad_alloc" tells the user nothing.
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
        return msg::OutOfResources;
    const auto* own = dynamic_cast<const Exception*>(&error);
    if (own == nullptr || own->Detail().empty())
        return error.what();
    return std::string(error.what()) + " (" + own->Detail() + ")";
}

std::string SystemErrorText(int error)
{
    return std::strerror(error);
}

}  // namespace corvalin

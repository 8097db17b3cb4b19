#include "formats/jxl/JxlSignature.h"

#include <algorithm>

namespace corvalin {

bool IsJxl(std::span<const uint8_t> file)
{
    static constexpr uint8_t kCodestream[] = {0xFF, 0x0A};
    static constexpr uint8_t kContainer[] = {0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    auto startsWith = [&](std::span<const uint8_t> head) {
        return file.size() >= head.size() && std::equal(head.begin(), head.end(), file.begin());
    };
    return startsWith(kCodestream) || startsWith(kContainer);
}

}  // namespace corvalin

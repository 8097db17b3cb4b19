#include "formats/webp/WebpSignature.h"

#include <algorithm>

namespace corvalin {

bool IsWebp(std::span<const uint8_t> file)
{
    static constexpr uint8_t kRiff[] = {'R', 'I', 'F', 'F'};
    static constexpr uint8_t kWebp[] = {'W', 'E', 'B', 'P'};
    return file.size() >= 12 && std::equal(kRiff, kRiff + 4, file.begin()) &&
           std::equal(kWebp, kWebp + 4, file.begin() + 8);
}

}  // namespace corvalin

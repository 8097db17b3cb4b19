#include "formats/heif/HeifBits.h"

#include "common/Exceptions.h"

namespace corvalin {

namespace {

[[noreturn]] void ThrowCut()
{
    throw EInvalidGraphic("Ungültige HEIF-Datei", "coded header cut short");
}

}  // namespace

uint32_t THeifBits::Bits(int count)
{
    if (count < 0 || count > 32 || size_t(count) > bytes_.size() * 8 - position_)
        ThrowCut();
    uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++position_)
        value = (value << 1) | ((bytes_[position_ / 8] >> (7 - position_ % 8)) & 1u);
    return value;
}

void THeifBits::Skip(size_t count)
{
    if (count > bytes_.size() * 8 - position_)
        ThrowCut();
    position_ += count;
}

uint32_t THeifBits::ExpGolomb()
{
    int zeros = 0;
    while (!Flag())
        if (++zeros > 31)
            ThrowCut();
    return uint32_t((uint64_t(1) << zeros) - 1 + Bits(zeros));
}

}  // namespace corvalin

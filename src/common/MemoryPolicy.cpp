#include "common/MemoryPolicy.h"

#include <malloc.h>

namespace corvalin {

void KeepPictureMemoryBetweenFiles()
{
    constexpr int kKeep = 256 << 20;
    ::mallopt(M_MMAP_THRESHOLD, kKeep);
    ::mallopt(M_TRIM_THRESHOLD, kKeep);
}

}  // namespace corvalin

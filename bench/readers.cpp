// Times decoding of PCX, Photoshop and Photo CD files (file bytes in memory
// to a bitmap, through the format table's load path), best of several runs.
// Usage: bench_readers RUNS FILE...   prints "FILE MILLISECONDS" per file
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BestTime.h"
#include "common/FileIO.h"
#include "formats/BitmapEx.h"
#include "formats/FormatTable.h"

using namespace corvalin;
using namespace benchtime;

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RUNS FILE...\n", argv[0]);
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const TLargeBytes bytes = ReadWholeFile(argv[i]);
        const uint8_t index = FormatIndexOf(argv[i]);
        if (index == fiUnknown || FormatRow(index).Load == nullptr) {
            std::fprintf(stderr, "%s: no reader\n", argv[i]);
            return 2;
        }
        TBitmapEx picture;
        TPictureMetadata metadata;
        const double ms =
            BestMilliseconds([&] { FormatRow(index).Load(picture, bytes, metadata); }, runs);
        std::printf("%s %.2f\n", argv[i], ms);
    }
    return 0;
}

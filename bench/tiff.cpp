// Times TIFF decoding from the file's bytes in memory to the finished
// raster, best of several runs, in-process and single-threaded; and a memcpy
// of the first file's size into a buffer that has been touched before.
// Usage: bench_tiff RUNS FILE.tif...   prints "memcpy MS" and one
// "FILE MS CHECKSUM" per file.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BestTime.h"
#include "common/FileIO.h"
#include "formats/tiff/TiffReader.h"
#include "picture/Bitmap.h"

using namespace corvalin;
using namespace benchtime;

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RUNS FILE.tif...\n", argv[0]);
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    const TLargeBytes first = ReadWholeFile(argv[2]);
    std::vector<uint8_t> copy(first.size(), 1);
    std::printf("memcpy %.2f\n", BestMilliseconds([&] {
        std::memcpy(copy.data(), first.data(), first.size());
        asm volatile("" : : "r"(copy.data()) : "memory");
    }, runs));
    for (int i = 2; i < argc; ++i) {
        const TLargeBytes bytes = ReadWholeFile(argv[i]);
        TBitmap picture;
        const double ms = BestMilliseconds([&] { LoadTiffFile(picture, bytes); }, runs);
        // A checksum of the raster shows that every layout decoded the same picture.
        uint32_t sum = 0;
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width() * 3; ++x)
                sum = sum * 31 + picture.ScanLine(y)[x];
        std::printf("%s %.2f %08x\n", argv[i], ms, sum);
    }
    return 0;
}

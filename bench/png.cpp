// Times PNG decoding (file bytes to a bitmap) and encoding (bitmap to file
// bytes, filter sub at level 7) of one file, best of several runs, in-process.
// Usage: bench_png IN.png OUT.png [RUNS]   (OUT.png receives Corvalin's encoding)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BestTime.h"
#include "formats/png/PngImage.h"
#include "common/FileIO.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"

using namespace corvalin;
using namespace benchtime;

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s IN.png OUT.png [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const TLargeBytes bytes = ReadWholeFile(argv[1]);
    TBitmap bitmap;
    const double decode = BestSeconds([&] {
        TPNGImage png;
        png.LoadFromBytes(bytes);
        bitmap.AssignPicture(&png);
    }, runs);
    std::vector<uint8_t> encoded;
    const double encode = BestSeconds([&] {
        TPNGImage png;
        png.Assign(bitmap);
        TMemoryStream output;
        png.SaveToStream(output);
        encoded = output.TakeBytes();
    }, runs);
    TAtomicFileStream file(argv[2]);
    file.WriteBuffer(encoded);
    file.Commit();
    std::printf("%.2f %.2f %zu\n", decode * 1000, encode * 1000, encoded.size());
    return 0;
}

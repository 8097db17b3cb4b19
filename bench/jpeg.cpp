// Loads each JPEG file and saves it again as JPEG, the way a conversion
// without any change does. Usage: bench_jpeg QUALITY OUTDIR FILE...
// Prints one line per file: name, load seconds, save seconds.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/Exceptions.h"
#include "formats/BitmapEx.h"

using namespace corvalin;

namespace {

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s QUALITY OUTDIR FILE...\n", argv[0]);
        return 2;
    }
    const int quality = std::atoi(argv[1]);
    const std::string outDir = argv[2];
    try {
        for (int i = 3; i < argc; ++i) {
            TBitmapEx picture;
            auto start = std::chrono::steady_clock::now();
            picture.LoadFromFileEx(argv[i]);
            const double load = Since(start);
            start = std::chrono::steady_clock::now();
            picture.SaveToFileEx(outDir + "/" + BaseName(argv[i]), quality);
            std::printf("%s %.4f %.4f\n", BaseName(argv[i]).c_str(), load, Since(start));
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

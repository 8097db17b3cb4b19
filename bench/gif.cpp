// Times GIF decoding (reading the file, decoding and rendering the first
// image) and encoding (building the GIF from the decoded picture and writing
// it) of one file, best of several runs, in milliseconds.
// Usage: bench_gif FILE.gif [OUT.gif]   (OUT receives the written GIF)
#include <cstdio>

#include "BestTime.h"
#include "formats/gif/GifImage.h"
#include "common/FileIO.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"

using namespace corvalin;
using namespace benchtime;

namespace {

void Decode(const char* path, TBitmap& picture)
{
    const TLargeBytes bytes = ReadWholeFile(path);
    TGIFImage gif;
    gif.LoadFromBytes(bytes);
    picture.AssignPicture(&gif);
}

void Encode(const TBitmap& picture, const char* path)
{
    TGIFImage gif;
    gif.ImportBitmap(picture);
    TAtomicFileStream file(path);
    gif.SaveToStream(file);
    file.Commit();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.gif [OUT.gif]\n", argv[0]);
        return 2;
    }
    const char* out = argc > 2 ? argv[2] : "/dev/null";
    TBitmap picture;
    const double decode = BestMilliseconds([&] { Decode(argv[1], picture); }, 7);
    const double encode = BestMilliseconds([&] { Encode(picture, out); }, 7);
    std::printf("%d %d %.3f %.3f\n", picture.Width(), picture.Height(), decode, encode);
    return 0;
}

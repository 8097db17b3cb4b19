// Times the raster layer's hot paths on a 4000 x 3000 24-bit picture and
// prints each as a ratio to a plain memcpy of the same raster.
// Usage: bench_raster [OUTDIR]   (OUTDIR receives the picture as BMP for comparisons)
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "BestTime.h"
#include "common/Stream.h"
#include "formats/BitmapEx.h"
#include "picture/Canvas.h"
#include "picture/Rotate.h"

using namespace corvalin;
using namespace benchtime;

namespace {

void MakePicture(TBitmapEx& picture)
{
    TRaster& raster = picture.NewRaster(4000, 3000, TPixelFormat::pf24bit);
    uint32_t state = 12345;
    for (int y = 0; y < raster.height; ++y) {
        uint8_t* row = raster.Row(y);
        for (int x = 0; x < raster.width * 3; ++x) {
            state = state * 1664525u + 1013904223u;
            // Smooth gradients with some noise, like a photograph.
            row[x] = uint8_t((x / 3 + y) / 30 + (state >> 29));
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    TBitmapEx picture;
    MakePicture(picture);
    const size_t bytes = picture.Raster()->pixels.size();
    std::vector<uint8_t> copy(bytes);
    const double memcpyTime = BestSeconds([&] { std::memcpy(copy.data(), picture.Raster()->pixels.data(), bytes); }, 5);

    TMemoryStream bmp;
    picture.WriteBmpStream(bmp);
    const std::vector<uint8_t> file = bmp.Bytes();
    if (argc > 1) {
        const std::string out = std::string(argv[1]) + "/bench-4000x3000.bmp";
        picture.SaveToFileEx(out, 75);
    }

    // Like memcpy's destination, the targets are reused, so that the figures
    // measure the operation itself; the "fresh" rows make a new picture or
    // stream each time, as one conversion does.
    TBitmapEx turned;
    TMemoryStream written;
    struct Row { const char* name; double limit; std::function<void()> work; };
    const Row rows[] = {
        {"quarter turn", 5.0, [&] { RotateQuarterClockwise(picture, turned); }},
        {"  (fresh target)", 5.0, [&] { TBitmapEx t; RotateQuarterClockwise(picture, t); }},
        {"scale to 400x300", 0.1, [&] {
             TBitmapEx t;
             t.SetPictureWidth(400);
             t.SetPictureHeight(300);
             t.Canvas().DrawStretched({0, 0, 400, 300}, picture);
         }},
        {"to 8 bits", 8.0, [&] { TBitmapEx t; t.AssignPicture(&picture); t.ChangePixelFormat(TPixelFormat::pf8bit); }},
        {"BMP write", 2.0, [&] { written.Seek(0); picture.WriteBmpStream(written); }},
        {"  (fresh stream)", 2.0, [&] { TMemoryStream s; picture.WriteBmpStream(s); }},
        {"BMP read", 2.0, [&] { TBitmap t; t.ReadBmp(file); }},
    };
    std::printf("memcpy of %zu bytes: %.2f ms\n", bytes, memcpyTime * 1000);
    std::printf("%-18s %10s %8s %8s\n", "operation", "ms", "ratio", "limit");
    for (const Row& row : rows) {
        const double t = BestSeconds(row.work, 5);
        std::printf("%-18s %10.2f %8.2f %8.2f\n", row.name, t * 1000, t / memcpyTime, row.limit);
    }
    return 0;
}

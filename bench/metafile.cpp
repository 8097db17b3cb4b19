// Times importing a metafile drawing of some thousand records (shapes, text
// and one picture) at 1600 x 1200, and exporting a 1600 x 1200 picture as a
// placeable Windows metafile; best of several runs, in-process. Writes the
// drawing, the export and the imported picture as EXPORT.wmf.bmp so that
// other programs can be timed on them.
// Then times a polygon record of 120,000 points and a Bezier curve record of
// 60,001 points on a picture of 189 x 189, and a polygon record of 65,535
// points on a picture of 2000 x 2000 (outlined, and filled alone), printing
// points and seconds.
// Usage: bench_metafile DRAWING.wmf EXPORT.wmf [RUNS]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "BestTime.h"
#include "common/ByteCursor.h"
#include "common/FileIO.h"
#include "formats/BitmapEx.h"
#include "picture/BmpCodec.h"
#include "picture/Canvas.h"

using namespace corvalin;
using namespace benchtime;

namespace {

constexpr auto LE = TByteOrder::LittleEndian;
constexpr int kWidth = 1600, kHeight = 1200;

struct Records {
    std::vector<uint8_t> bytes;
    uint32_t largest = 0;
    void Add(uint16_t function, const std::vector<uint16_t>& words, const std::vector<uint8_t>& raw = {})
    {
        const uint32_t size = uint32_t(3 + words.size() + (raw.size() + 1) / 2);
        largest = std::max(largest, size);
        Put32(bytes, size, LE);
        Put16(bytes, function, LE);
        for (uint16_t w : words)
            Put16(bytes, w, LE);
        bytes.insert(bytes.end(), raw.begin(), raw.end());
        if (raw.size() % 2)
            bytes.push_back(0);
    }
};

// A placeable Windows metafile of the records at width x height units per inch 96.
std::vector<uint8_t> Placeable(const Records& r, uint16_t width, uint16_t height)
{
    std::vector<uint8_t> file;
    Put32(file, 0x9AC6CDD7, LE);
    for (uint16_t v : {uint16_t(0), uint16_t(0), uint16_t(0), width, height, uint16_t(96), uint16_t(0), uint16_t(0)})
        Put16(file, v, LE);
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum ^= Get16(file.data() + i, LE);
    Put16(file, sum, LE);
    for (uint16_t v : {1, 9, 0x300})
        Put16(file, v, LE);
    Put32(file, uint32_t(9 + r.bytes.size() / 2), LE);
    Put16(file, 3, LE);
    Put32(file, r.largest, LE);
    Put16(file, 0, LE);
    file.insert(file.end(), r.bytes.begin(), r.bytes.end());
    return file;
}

// Brushes, pens and fonts created, used and deleted as drawing programs do;
// rectangles, ellipses, polygons, rounded rectangles and lines of text.
std::vector<uint8_t> Drawing(int shapes)
{
    std::mt19937 random(7);
    auto coordinate = [&](int limit) { return uint16_t(random() % limit); };
    Records r;
    r.Add(0x020C, {kHeight, kWidth});
    std::vector<uint8_t> face(32, 0);
    std::copy_n("DejaVu Sans", 11, face.begin());
    for (int i = 0; i < shapes; ++i) {
        r.Add(0x02FC, {0, uint16_t(random()), uint16_t(random() & 0xFF), 0});
        r.Add(0x02FA, {0, uint16_t(1 + random() % 4), 0, uint16_t(random()), 0});
        r.Add(0x012D, {0});
        r.Add(0x012D, {1});
        const uint16_t x = coordinate(kWidth - 200), y = coordinate(kHeight - 150);
        const uint16_t w = uint16_t(10 + random() % 190), h = uint16_t(10 + random() % 140);
        switch (i % 5) {
        case 0: r.Add(0x041B, {uint16_t(y + h), uint16_t(x + w), y, x}); break;
        case 1: r.Add(0x0418, {uint16_t(y + h), uint16_t(x + w), y, x}); break;
        case 2: r.Add(0x0324, {3, x, uint16_t(y + h), uint16_t(x + w / 2), y, uint16_t(x + w), uint16_t(y + h)}); break;
        case 3: r.Add(0x061C, {20, 20, uint16_t(y + h), uint16_t(x + w), y, x}); break;
        default: {
            r.Add(0x02FB, {uint16_t(-(12 + int(random() % 20))), 0, 0, 0, 400, 0, 0, 0, 0}, face);
            r.Add(0x012D, {2});
            r.Add(0x0102, {1});
            const std::vector<uint8_t> text{'M', 'e', 't', 'a', 'f', 'i', 'l', 'e'};
            std::vector<uint16_t> words{uint16_t(text.size())};
            for (size_t k = 0; k < text.size(); k += 2)
                words.push_back(uint16_t(text[k] | text[k + 1] << 8));
            words.push_back(y);
            words.push_back(x);
            r.Add(0x0521, words);
            r.Add(0x01F0, {2});
        }
        }
        r.Add(0x01F0, {0});
        r.Add(0x01F0, {1});
    }
    // One picture of 400 x 300, stretched over a quarter of the drawing.
    TBitmapEx picture;
    picture.SetPictureHeight(300);
    picture.SetPictureWidth(400);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            picture.Canvas().WritePixel(x, y, RGB(uint8_t(x), uint8_t(y), uint8_t(x ^ y)));
    std::vector<uint8_t> params;
    Put32(params, 0x00CC0020, LE);
    for (uint16_t v : {0, 300, 400, 0, 0, 600, 800, 100, 100})
        Put16(params, v, LE);
    const std::vector<uint8_t> dib = EncodeDib(*picture.Raster());
    params.insert(params.end(), dib.begin(), dib.end());
    r.Add(0x0F43, {}, params);
    r.Add(0, {});
    return Placeable(r, kWidth, kHeight);
}

// One PolyPolygon of `figures` random polygons of `points` each over a
// small picture: outlines that cross themselves at every turn.
std::vector<uint8_t> PolygonRecords(int figures, int points, uint16_t side)
{
    std::mt19937 random(11);
    Records r;
    std::vector<uint16_t> words{uint16_t(figures)};
    words.insert(words.end(), size_t(figures), uint16_t(points));
    for (int i = 0; i < figures * points * 2; ++i)
        words.push_back(uint16_t(random() % side));
    r.Add(0x0538, words);
    r.Add(0, {});
    return Placeable(r, side, side);
}

// One Polygon record of `points` random points over a picture of side x side,
// outlined by the default pen or, to time its fill alone, by none.
std::vector<uint8_t> PolygonRecord(int points, uint16_t side, bool outlined)
{
    std::mt19937 random(17);
    Records r;
    if (!outlined) {
        r.Add(0x02FA, {5, 0, 0, 0, 0});  // a pen of style PS_NULL
        r.Add(0x012D, {0});
    }
    std::vector<uint16_t> words{uint16_t(points)};
    for (int i = 0; i < points * 2; ++i)
        words.push_back(uint16_t(random() % side));
    r.Add(0x0324, words);
    r.Add(0, {});
    return Placeable(r, side, side);
}

// An enhanced metafile of one PolyBezier of `points` random points, most of
// them far beside its small picture.
std::vector<uint8_t> CurveRecords(int points, int32_t side)
{
    std::mt19937 random(13);
    std::vector<uint8_t> records;
    Put32(records, 2, LE);  // PolyBezier
    Put32(records, uint32_t(28 + 8 * points), LE);
    for (int i = 0; i < 4; ++i)
        Put32(records, 0, LE);
    Put32(records, uint32_t(points), LE);
    for (int i = 0; i < 2 * points; ++i)
        Put32(records, uint32_t(int32_t(random() % 4000) - 2000), LE);
    for (uint32_t v : {14u, 20u, 0u, 0u, 20u})  // end of file
        Put32(records, v, LE);
    // 1000 pixels in 264 mm: the frame in hundredths of a millimetre.
    const int32_t frame = side * 26400 / 1000;
    std::vector<uint8_t> file;
    for (uint32_t v : {1u, 88u, 0u, 0u, uint32_t(side), uint32_t(side), 0u, 0u, uint32_t(frame), uint32_t(frame),
                       0x464D4520u, 0x10000u, uint32_t(88 + records.size()), 3u})
        Put32(file, v, LE);
    Put16(file, 1, LE);
    Put16(file, 0, LE);
    for (uint32_t v : {0u, 0u, 0u, 1000u, 1000u, 264u, 264u})
        Put32(file, v, LE);
    file.insert(file.end(), records.begin(), records.end());
    return file;
}

double SecondsToLoad(const std::string& path, const std::vector<uint8_t>& bytes, int runs)
{
    {
        TAtomicFileStream file(path);
        file.WriteBuffer(bytes);
        file.Commit();
    }
    TBitmapEx picture;
    return BestSeconds([&] { picture.LoadFromFileEx(path); }, runs);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DRAWING.wmf EXPORT.wmf [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const std::vector<uint8_t> drawing = Drawing(1000);
    {
        TAtomicFileStream file(argv[1]);
        file.WriteBuffer(drawing);
        file.Commit();
    }
    TBitmapEx picture;
    const double import = BestSeconds([&] { picture.LoadFromFileEx(argv[1]); }, runs);
    const double exported = BestSeconds([&] { picture.SaveToFileEx(argv[2], 0); }, runs);
    picture.SaveToFileEx(std::string(argv[2]) + ".bmp", 0);
    std::printf("%.1f %.1f %zu\n", import * 1000, exported * 1000, drawing.size());
    // Points and seconds of a polygon record and of a curve record on a 189 x
    // 189 picture. Both kinds of metafile are read from files named .wmf.
    const std::string scratch = std::string(argv[2]) + ".records";
    std::printf("%d %.3f\n", 4 * 30000, SecondsToLoad(scratch + "-polygon.wmf", PolygonRecords(4, 30000, 189), runs));
    std::printf("%d %.3f\n", 60001, SecondsToLoad(scratch + "-curve.wmf", CurveRecords(60001, 189), runs));
    // A polygon of random points on a large picture: its fill crosses each
    // row some 20,000 times.
    std::printf("%d %.3f %.3f\n", 65535,
                SecondsToLoad(scratch + "-large-polygon.wmf", PolygonRecord(65535, 2000, true), runs),
                SecondsToLoad(scratch + "-large-fill.wmf", PolygonRecord(65535, 2000, false), runs));
    return 0;
}

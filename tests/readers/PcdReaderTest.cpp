// The Photo CD reader against image packs written by ImageMagick. Other
// decoders use other Photo YCC formulas (ImageMagick scales luma), so the
// pixels are compared with the conversion as this format's readers
// describe it, computed here by a short independent script; ImageMagick
// only confirms size and orientation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ReaderTestHelpers.h"
#include "formats/pcd/PcdGraphic.h"

using namespace corvalin;
using namespace readertest;
using testsupport::DecodeWithImageMagick;
using testsupport::TempDir;

namespace {

// Reads the base picture (sector 96, groups of two luma rows and half a row
// of each chroma component), enlarges chroma, converts with luma weights
// 0.2125, 0.7154, 0.0721 (held as 32-bit floats, as the colour manager keeps
// them; products rounded half away from zero), turns portrait packs and
// writes a PPM.
const char* kDescribedConversion = R"(
import math, struct, sys
data = open(sys.argv[1], 'rb').read()
W, H = 768, 512
base = 96 * 2048
f32 = lambda x: struct.unpack('f', struct.pack('f', x))[0]
kr, kg, kb = f32(0.2125), f32(0.7154), f32(0.0721)
cr, cb = 2 - 2 * kr, 2 - 2 * kb
gr, gb = kr * cr / kg, kb * cb / kg
rnd = lambda x: int(math.copysign(math.floor(abs(x) + 0.5), x))
clamp = lambda v: max(0, min(255, v))
luma, c1, c2 = [], [], []
for g in range(H // 2):
    at = base + g * 3 * W
    luma += [data[at:at + W], data[at + W:at + 2 * W]]
    c1.append(data[at + 2 * W:at + 2 * W + W // 2])
    c2.append(data[at + 2 * W + W // 2:at + 3 * W])
def widen(row):
    out = []
    for k in range(len(row)):
        out.append(row[k])
        out.append((row[k] + row[k + 1] + 1) // 2 if k + 1 < len(row) else row[k])
    return out
def enlarge(half):
    even = [widen(r) for r in half]
    rows = []
    for r in range(len(even)):
        rows.append(even[r])
        if r + 1 < len(even):
            a, b = even[r], even[r + 1]
            odd = []
            for x in range(0, W - 2, 2):
                odd.append((a[x] + b[x] + 1) // 2)
                odd.append((a[x] + a[x + 2] + b[x] + b[x + 2] + 2) // 4)
            odd += [(a[W - 2] + b[W - 2] + 1) // 2, (a[W - 1] + b[W - 1] + 1) // 2]
            rows.append(odd)
        else:
            rows.append(list(even[r]))
    return rows
C1, C2 = enlarge(c1), enlarge(c2)
rgb = [[None] * W for _ in range(H)]
for y in range(H):
    for x in range(W):
        Y, u, v = luma[y][x], C1[y][x] - 156, C2[y][x] - 137
        rgb[y][x] = (clamp(Y + rnd(cr * v)), clamp(Y - rnd(gr * v) - rnd(gb * u)), clamp(Y + rnd(cb * u)))
o = data[3586] & 3
if o == 1:
    out = [[rgb[x][W - 1 - y] for x in range(H)] for y in range(W)]
elif o == 3:
    out = [[rgb[H - 1 - x][y] for x in range(H)] for y in range(W)]
else:
    out = rgb
with open(sys.argv[2], 'wb') as f:
    f.write(b'P6 %d %d 255\n' % (len(out[0]), len(out)))
    f.write(bytes(c for row in out for p in row for c in p))
)";

testsupport::RgbPicture DescribedConversion(const TempDir& dir, const std::string& pcd)
{
    const std::string script = dir.File("ycc.py");
    const std::string ppm = dir.File("expected.ppm");
    const std::string text = kDescribedConversion;
    testsupport::WriteBytes(script, {text.begin(), text.end()});
    const auto result = testsupport::RunCommand("/usr/bin/python3 " + testsupport::Quote(script) + " " +
                                                testsupport::Quote(pcd) + " " + testsupport::Quote(ppm));
    EXPECT_EQ(result.status, 0);
    return DecodeWithImageMagick(ppm);
}

// Correlation of grey values with `other`, read upright or turned half
// round: decodes by different formulas (ImageMagick scales luma) still
// correlate closely when they show the picture the same way up.
double GreyCorrelation(const TBitmap& picture, const testsupport::RgbPicture& other, bool turned)
{
    auto grey = [](double r, double g, double b) { return r * 2 + g * 5 + b; };
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    const double n = double(other.width) * other.height;
    for (int y = 0; y < other.height; ++y)
        for (int x = 0; x < other.width; ++x) {
            const TColor c = turned ? ReadRasterPixel(*picture.Raster(), other.width - 1 - x, other.height - 1 - y)
                                    : ReadRasterPixel(*picture.Raster(), x, y);
            const uint32_t o = other.At(x, y);
            const double a = grey(RedOf(c), GreenOf(c), BlueOf(c));
            const double b = grey(o >> 16 & 0xFF, o >> 8 & 0xFF, o & 0xFF);
            sa += a, sb += b, saa += a * a, sbb += b * b, sab += a * b;
        }
    return (sab - sa * sb / n) / std::sqrt((saa - sa * sa / n) * (sbb - sb * sb / n));
}

// An image pack of one colour: luma y and chroma c1, c2 everywhere.
std::vector<uint8_t> UniformPack(uint8_t y, uint8_t c1, uint8_t c2)
{
    std::vector<uint8_t> file(96 * 2048, 0);
    std::memcpy(file.data() + 2048, "PCD_IPI", 7);
    for (int g = 0; g < 256; ++g) {
        file.insert(file.end(), 2 * 768, y);
        file.insert(file.end(), 384, c1);
        file.insert(file.end(), 384, c2);
    }
    return file;
}

std::unique_ptr<TPCDGraphic> Load(const std::vector<uint8_t>& file)
{
    auto pcd = std::make_unique<TPCDGraphic>();
    pcd->LoadFromBytes(file);
    return pcd;
}

}  // namespace

TEST(PcdRead, ImageMagickPacksGiveTheDescribedConversionUpright)
{
    TempDir dir;
    const std::string landscape = dir.File("landscape.png");
    testsupport::ImageMagick("-size 768x512 -seed 2 plasma:fractal -depth 8 " + landscape);
    testsupport::ImageMagick(landscape + " " + dir.File("landscape.pcd"));
    testsupport::ImageMagick(landscape + " -rotate 90 " + dir.File("portrait.pcd"));
    for (const auto& [name, width, height] : {std::tuple{"landscape.pcd", 768, 512}, {"portrait.pcd", 512, 768}}) {
        SCOPED_TRACE(name);
        const std::string path = dir.File(name);
        TBitmapEx picture;
        EXPECT_EQ(picture.LoadFromFileEx(path), fiPcd);
        ASSERT_EQ(picture.PixelFormat(), TPixelFormat::pf24bit);
        ASSERT_EQ(picture.Width(), width);
        ASSERT_EQ(picture.Height(), height);
        EXPECT_EQ(DifferingPixels(picture, DescribedConversion(dir, path)), 0);
        // ImageMagick's first scene of a pack is its smallest picture; the
        // plain name gives the base picture.
        testsupport::ImageMagick(path + " " + path + ".png");
        const auto magick = DecodeWithImageMagick(path + ".png");
        ASSERT_EQ(magick.width, width);
        ASSERT_EQ(magick.height, height);
        EXPECT_GT(GreyCorrelation(picture, magick, false), 0.95) << "upright";
        EXPECT_LT(GreyCorrelation(picture, magick, true), 0.5) << "half round";
    }
}

TEST(PcdRead, OrientationsOfThePack)
{
    std::vector<uint8_t> file = UniformPack(128, 156, 137);
    // A luma ramp makes every pixel tell where it came from.
    const size_t base = 96 * 2048;
    for (size_t g = 0; g < 256; ++g)
        for (size_t x = 0; x < 768; ++x) {
            file[base + g * 2304 + x] = uint8_t(x / 4 + g / 4);
            file[base + g * 2304 + 768 + x] = uint8_t(x / 4 + g / 4 + 1);
        }
    auto lumaAt = [&](size_t x, size_t y) { return uint8_t(x / 4 + y / 8 + y % 2); };
    auto grey = [](uint8_t v) { return RGB(v, v, v); };

    // Neutral chroma (156, 137) leaves luma grey; upside down stays as stored.
    for (const uint8_t orientation : {uint8_t(0), uint8_t(2)}) {
        file[3586] = orientation;
        const auto pcd = Load(file);
        ASSERT_EQ(pcd->Width(), 768);
        EXPECT_EQ(ReadRasterPixel(*pcd->Raster(), 300, 101), grey(lumaAt(300, 101)));
    }
    // 1: the stored top edge runs up the left side; 3: down the right side.
    file[3586] = 1;
    auto pcd = Load(file);
    ASSERT_EQ(pcd->Width(), 512);
    ASSERT_EQ(pcd->Height(), 768);
    EXPECT_EQ(ReadRasterPixel(*pcd->Raster(), 0, 767), grey(lumaAt(0, 0)));
    EXPECT_EQ(ReadRasterPixel(*pcd->Raster(), 101, 767 - 300), grey(lumaAt(300, 101)));
    file[3586] = 3;
    pcd = Load(file);
    EXPECT_EQ(ReadRasterPixel(*pcd->Raster(), 511, 0), grey(lumaAt(0, 0)));
    EXPECT_EQ(ReadRasterPixel(*pcd->Raster(), 511 - 101, 300), grey(lumaAt(300, 101)));
}

TEST(PcdRead, OverviewsAndBrokenFiles)
{
    // An overview file gives its first thumbnail, 192 x 128 from sector 5.
    std::vector<uint8_t> overview(5 * 2048, 0);
    std::memcpy(overview.data(), "PCD_OPA", 7);
    overview[11] = 3;
    for (int g = 0; g < 64; ++g) {
        overview.insert(overview.end(), 2 * 192, 200);
        overview.insert(overview.end(), 96, 156);
        overview.insert(overview.end(), 96, 137);
    }
    auto pcd = Load(overview);
    EXPECT_EQ(pcd->Width(), 192);
    EXPECT_EQ(pcd->Height(), 128);
    EXPECT_EQ(pcd->ImageProperties().ImageCount, 3);
    EXPECT_EQ(ReadRasterPixel(*pcd->Raster(), 191, 127), RGB(200, 200, 200));

    // Neither marker: an empty picture; a pack shorter than its base picture
    // or its first three sectors: the read error.
    std::vector<uint8_t> file = UniformPack(10, 156, 137);
    file[2048] = 'X';
    EXPECT_TRUE(Load(file)->Empty());
    file[2048] = 'P';
    file.pop_back();
    auto errorOf = [](const std::vector<uint8_t>& bytes) {
        try {
            Load(bytes);
        } catch (const Exception& e) {
            return e.Message();
        }
        return std::string();
    };
    EXPECT_EQ(errorOf(file), msg::StreamRead);
    file.resize(5000);
    EXPECT_EQ(errorOf(file), msg::StreamRead);
}

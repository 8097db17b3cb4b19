// A conversion reads its source once, whatever its orientation, turn, fit,
// scaling and colour choices would have it decoded for.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "FakeFrontEnd.h"
#include "TestSupport.h"
#include "app/ConvertPicture.h"
#include "app/Session.h"
#include "common/FileIO.h"

using namespace corvalin;
using namespace testsupport;

namespace {

// A photograph stored 256 x 192 and shown turned (orientation 6), in RGB or
// in CMYK inks with the CMYK profile given.
const char* kMakePhoto = R"(
import sys
from PIL import Image
mode = 'CMYK' if len(sys.argv) > 2 else 'RGB'
img = Image.new(mode, (256, 192))
for x in range(256):
    for y in range(192):
        img.putpixel((x, y), (x, y, (x + y) % 256) + ((x * y) % 256,) * (mode == 'CMYK'))
exif = Image.Exif()
exif[0x0112] = 6
extra = {'icc_profile': open(sys.argv[2], 'rb').read()} if mode == 'CMYK' else {}
img.save(sys.argv[1], quality=95, exif=exif.tobytes(), **extra)
)";

std::string counted;
int reads = 0;

void CountRead(const std::string& path)
{
    reads += path == counted;
}

// Counts for as long as it lives, also when a conversion throws.
struct TCountingReads {
    TCountingReads() { SetWholeFileReadHook(CountRead); }
    ~TCountingReads() { SetWholeFileReadHook(nullptr); }
};

}  // namespace

TEST(SingleRead, EveryCombinationReadsTheSourceOnce)
{
    const std::string profile = "/usr/share/color/icc/ghostscript/default_cmyk.icc";
    ASSERT_TRUE(std::filesystem::exists(profile)) << "libgs-common";
    TempDir dir;
    const std::string rgb = dir.File("rgb.jpg"), cmyk = dir.File("cmyk.jpg");
    RunToolOnce("/usr/bin/python3 -c " + Quote(kMakePhoto) + " " + Quote(rgb));
    RunToolOnce("/usr/bin/python3 -c " + Quote(kMakePhoto) + " " + Quote(cmyk) + " " + Quote(profile));
    const struct {
        const std::string& source;
        bool smooth;
        int32_t rotation;
        bool srgb;
    } cases[] = {{rgb, false, 0, false}, {rgb, true, 0, false},  {rgb, false, 1, true},  {rgb, true, 2, false},
                 {cmyk, false, 0, true}, {cmyk, true, 1, true},  {cmyk, false, 3, false}, {cmyk, true, 0, false}};
    FakeFrontEnd frontEnd;
    TSession session{frontEnd};
    const TCountingReads counting;
    for (const auto& c : cases) {
#ifndef CORVALIN_WITH_LCMS
        if (c.srgb)
            continue;  // built without LittleCMS: no conversion to sRGB
#endif
        SCOPED_TRACE(c.source + (c.smooth ? " smooth" : " nearest") + " turn " + std::to_string(c.rotation) +
                     (c.srgb ? " srgb" : ""));
        frontEnd.settings.Scaling.Smooth = c.smooth;
        frontEnd.settings.Metadata.Srgb = c.srgb;
        counted = c.source;
        reads = 0;
        std::string name = c.source;
        ConvertPicture(session, name, fiPng, 1, c.rotation, 20, 20, 0, 90, true);
        EXPECT_EQ(reads, 1);
        EXPECT_EQ(DecodeConverted(name).width, 20);
    }
}

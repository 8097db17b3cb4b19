// Photographs stored sideways come out as they are shown, and the choices
// about their metadata: checked against ImageMagick, Pillow and exiftool.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "FakeFrontEnd.h"
#include "TestSupport.h"
#include "app/ConvertPicture.h"
#include "app/Session.h"

using namespace corvalin;
using namespace testsupport;
using namespace std::string_literals;

namespace {

// Four quadrants of clearly different colours on a picture wider than high,
// so that every turn and mirror shows.
const char* kMakeQuadrants = R"(
import sys
from PIL import Image
img = Image.new('RGB', (64, 48))
for x in range(64):
    for y in range(48):
        img.putpixel((x, y), [(220, 30, 30), (30, 200, 40), (40, 40, 210), (230, 230, 40)][(x >= 32) + 2 * (y >= 24)])
exif = Image.Exif()
exif[0x0112] = int(sys.argv[2])
exif[0x9003] = '2021:06:01 10:20:30'
if sys.argv[1].endswith('.jpg'):
    img.save(sys.argv[1], quality=98, subsampling=0, exif=exif.tobytes())
else:
    img.save(sys.argv[1], exif=exif.tobytes())
)";

std::string Exiftool(const std::string& arguments, const std::string& path)
{
    return RunCommand("/usr/bin/exiftool -T -n " + arguments + " " + Quote(path)).output;
}

class Upright : public ::testing::Test {
protected:
    std::string Photo(const std::string& name, int orientation)
    {
        const std::string path = dir.File(name);
        EXPECT_EQ(RunCommand("/usr/bin/python3 -c " + Quote(kMakeQuadrants) + " " + Quote(path) + " " +
                             std::to_string(orientation))
                      .status,
                  0);
        return path;
    }

    // Converted with no change of size to the format given (0: its own).
    std::string Convert(std::string path, int32_t format, int32_t fitMode = 0, int32_t width = 10)
    {
        ConvertPicture(session, path, format, fitMode, 0, width, 10, 0, 90, true);
        return path;
    }

    FakeFrontEnd frontEnd;
    TSession session{frontEnd};
    TempDir dir;
};

}  // namespace

TEST_F(Upright, EveryOrientationComesOutAsShown)
{
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        // JPEG against ImageMagick's turn; PNG's eXIf against Pillow's.
        const std::string jpeg = Photo("p" + std::to_string(orientation) + ".jpg", orientation);
        ImageMagick(Quote(jpeg) + " -auto-orient " + Quote(jpeg + ".ref.png"));
        EXPECT_LE(MaxDifference(DecodeWithImageMagick(Convert(jpeg, 8)), DecodeWithImageMagick(jpeg + ".ref.png")),
                  2);
        const std::string png = Photo("p" + std::to_string(orientation) + ".png", orientation);
        Pillow("from PIL import Image, ImageOps\nImageOps.exif_transpose(Image.open(" + Quote(png) + ")).save(" +
               Quote(png + ".ref.png") + ")");
        const std::string result = Convert(png, 8);
        EXPECT_EQ(MaxDifference(DecodeWithPillow(result), DecodeWithPillow(png + ".ref.png")), 0);
        EXPECT_EQ(Exiftool("-Orientation", result), "1\n");
    }
}

TEST_F(Upright, TheFitAppliesToWhatIsShown)
{
    // Stored 64 x 48, shown 48 x 64: width 50 gives 50 x 66.
    const std::string result = Convert(Photo("tall.jpg", 6), 8, 1, 50);
    const RgbPicture picture = DecodeWithPillow(result);
    EXPECT_EQ(picture.width, 50);
    EXPECT_EQ(picture.height, 66);
    frontEnd.settings.Metadata.AutoOrient = false;
    EXPECT_EQ(DecodeWithPillow(Convert(Photo("wide.jpg", 6), 8, 1, 50)).height, 37);
}

TEST_F(Upright, AJpegCopyKeepsDateAndPositionAndIsUpright)
{
    const auto tagged = [&](const std::string& name) {
        const std::string photo = Photo(name, 8);
        EXPECT_EQ(RunCommand("/usr/bin/exiftool -q -overwrite_original -GPSLatitude=48.1375 -GPSLatitudeRef=N "
                             "-XMP-dc:Description='Am See' -IPTC:Caption-Abstract='Am See' "
                             "-Comment='Urlaub' " +
                             Quote(photo))
                      .status,
                  0);
        return photo;
    };
    const char* tags =
        "-DateTimeOriginal -GPSLatitude -Orientation -XMP:Description "
        "-IPTC:Caption-Abstract -Comment";
    EXPECT_EQ(Exiftool(tags, Convert(tagged("kept.jpg"), 0)),
              "2021:06:01 10:20:30\t48.1375\t1\tAm See\tAm See\tUrlaub\n");

    // Stripped: the picture turned all the same, nothing but the profile left.
    frontEnd.settings.Metadata = {false, true, false, false};
    const std::string icc = dir.File("srgb.icc");
    Pillow("from PIL import ImageCms\nopen(" + Quote(icc) +
           ", 'wb').write(ImageCms.ImageCmsProfile("
           "ImageCms.createProfile('sRGB')).tobytes())");
    const std::string photo = tagged("strip.jpg");
    ASSERT_EQ(RunCommand("/usr/bin/exiftool -q -overwrite_original '-ICC_Profile<=" + icc + "' " + Quote(photo)).status,
              0);
    for (const int32_t format : {4, 8}) {
        const std::string stripped = Convert(photo, format);
        EXPECT_EQ(Exiftool(tags, stripped), "-\t-\t-\t-\t-\t-\n") << format;
        EXPECT_EQ(RunCommand("/usr/bin/exiftool -b -ICC_Profile " + Quote(stripped) + " | cmp - " + Quote(icc)).status,
                  0)
            << format;
        EXPECT_EQ(DecodeWithPillow(stripped).width, 48) << format;
    }
}

TEST_F(Upright, KeepDateGivesTheSourcesTimesAsCopyAndInPlace)
{
    frontEnd.settings.Metadata.KeepDate = true;
    for (const bool copy : {true, false}) {
        std::string path = Photo(copy ? "copy.jpg" : "place.jpg", 1);
        ASSERT_EQ(RunCommand("touch -d '2001-02-03 04:05:06.5' " + Quote(path)).status, 0);
        struct stat before {};
        ASSERT_EQ(::stat(path.c_str(), &before), 0);
        ConvertPicture(session, path, 0, 0, 0, 10, 10, 0, 90, copy);
        struct stat after {};
        ASSERT_EQ(::stat(path.c_str(), &after), 0) << path;
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec) << copy;
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << copy;
    }
}

// Saturated colours and greys, with an alpha ramp for the RGBA case, saved
// as PNG with the profile given (or a damaged copy of it).
const char* kMakeProfiled = R"(
import sys
from PIL import Image
mode, profile = sys.argv[2], open(sys.argv[3], 'rb').read()
if sys.argv[4] == 'damaged':
    profile = profile[:200] + bytes(len(profile) - 200)
img = Image.new(mode, (48, 32))
for x in range(48):
    for y in range(32):
        rgb = [(250, 10, 10), (10, 240, 20), (20, 20, 250), (x * 5, x * 5, x * 5)][y // 8]
        img.putpixel((x, y), rgb + ((x * 5 + 10,) if mode == 'RGBA' else ()))
img.save(sys.argv[1], icc_profile=profile)
)";

// What LittleCMS makes of a picture with Pillow: relative colorimetric with
// black point compensation, as the conversion asks for.
const char* kSrgbReference = R"(
import sys, io
from PIL import Image, ImageCms
img = Image.open(sys.argv[1])
source = ImageCms.ImageCmsProfile(io.BytesIO(img.info['icc_profile']))
flags = ImageCms.FLAGS['BLACKPOINTCOMPENSATION']
converted = ImageCms.profileToProfile(img, source, ImageCms.createProfile('sRGB'), 1, flags=flags)
converted.save(sys.argv[2])
)";

TEST_F(Upright, SrgbConvertsFromTheProfileAsLittleCmsDoes)
{
#ifndef CORVALIN_WITH_LCMS
    GTEST_SKIP() << "built without LittleCMS";
#endif
    const std::string adobe = "/usr/share/color/icc/colord/AdobeRGB1998.icc";
    const std::string srgb = "/usr/share/color/icc/colord/sRGB.icc";
    ASSERT_TRUE(std::filesystem::exists(adobe)) << "colord-data";
    frontEnd.settings.Metadata.Srgb = true;
    const struct {
        const char* name;
        const char* mode;
        std::string profile;
        const char* damage;
        bool converted;
    } cases[] = {
        {"adobe.png", "RGB", adobe, "whole", true},
        {"adobe-alpha.png", "RGBA", adobe, "whole", true},
        {"srgb.png", "RGB", srgb, "whole", false},
        {"damaged.png", "RGB", adobe, "damaged", false},
    };
    for (const auto& c : cases) {
        const std::string source = dir.File(c.name);
        ASSERT_EQ(RunCommand("/usr/bin/python3 -c " + Quote(kMakeProfiled) + " " + Quote(source) + " " + c.mode + " " +
                             Quote(c.profile) + " " + c.damage)
                      .status,
                  0);
        const std::string reference = source + ".ref.png";
        if (c.converted) {
            ASSERT_EQ(RunCommand("/usr/bin/python3 -c " + Quote(kSrgbReference) + " " + Quote(source) + " " +
                                 Quote(reference))
                          .status,
                      0);
        }
        const std::string result = Convert(source, 8);
        const RgbaPicture got = DecodeRgbaWithPillow(result);
        const RgbaPicture want = DecodeRgbaWithPillow(c.converted ? reference : source);
        ASSERT_EQ(got.rgba.size(), want.rgba.size()) << c.name;
        int largest = 0;
        for (size_t i = 0; i < got.rgba.size(); ++i)
            largest = std::max(largest, std::abs(int(got.rgba[i]) - int(want.rgba[i])));
        EXPECT_LE(largest, c.converted ? 4 : 0) << c.name;
        // Converted: no profile but the sRGB chunk; untouched: the profile kept.
        const auto profileOf = [](const std::string& path) {
            return RunCommand("/usr/bin/exiftool -b -ICC_Profile " + Quote(path)).output;
        };
        EXPECT_EQ(profileOf(result), c.converted ? "" : profileOf(source)) << c.name;
        EXPECT_EQ(Exiftool("-PNG:SRGBRendering", result), c.converted ? "1\n" : "-\n") << c.name;
    }
}

// The resolution a source states reaches a JPEG's JFIF header and a PNG's
// pHYs chunk; a source stating none gives neither one.
TEST_F(Upright, TheSourcesResolutionIsKept)
{
    const struct {
        const char* name;
        const char* save;  // Pillow's arguments
        const char* dpi;   // as Pillow reads it from the results
    } cases[] = {
        {"jfif.jpg", "dpi=(300, 300)", "(300, 300)"},
        {"phys.png", "dpi=(150, 96)", "(150, 96)"},
        {"tiff.tif", "dpi=(200, 200)", "(200, 200)"},
        {"none.png", "", "None"},
    };
    for (const auto& c : cases) {
        const std::string source = dir.File(c.name);
        Pillow("Image.new('RGB', (20, 10), (90, 120, 30)).save(" + Quote(source) + (*c.save ? ", " : "") + c.save +
               ")");
        for (const int32_t format : {4, 8}) {
            const std::string result = Convert(source, format);
            const CommandResult dpi = RunCommand(
                "/usr/bin/python3 -c \"import sys; from PIL import Image; d = Image.open(sys.argv[1]).info.get('dpi'); "
                "print(tuple(round(v) for v in d) if d else None)\" " +
                Quote(result));
            EXPECT_EQ(dpi.output, std::string(c.dpi) + "\n") << c.name << " as " << format;
        }
    }
}

// Capture date and position go from JPEG to TIFF, between TIFF files (also
// big-endian ones) and from TIFF to JPEG, the picture turned upright and
// saying so; stripped, neither is left.
TEST_F(Upright, TiffKeepsDateAndPositionBothWays)
{
    const auto tag = [&](const std::string& path, const std::string& more) {
        EXPECT_EQ(RunCommand("/usr/bin/exiftool -q -overwrite_original -GPSLatitude=48.1375 -GPSLatitudeRef=N "
                             "'-ExifIFD:DateTimeOriginal=2021:06:01 10:20:30' " +
                             more + " " + Quote(path))
                      .status,
                  0);
        return path;
    };
    const std::string jpeg = tag(Photo("photo.jpg", 8), "");
    const std::string motorola = dir.File("motorola.tif");
    ImageMagick(Quote(Photo("m.png", 1)) + " -endian MSB " + Quote(motorola));
    tag(motorola, "-Orientation#=6");
    const std::string tiff = Convert(jpeg, 9);
    const char* tags = "-DateTimeOriginal -GPSLatitude -Orientation -ImageWidth";
    // A TIFF file shown as stored carries no Orientation.
    const struct {
        std::string source;
        int32_t format;
        const char* orientation;
    } cases[] = {{jpeg, 9, "-"}, {tiff, 4, "-"}, {tiff, 0, "-"}, {motorola, 9, "-"}, {motorola, 4, "1"}};
    for (const bool strip : {false, true}) {
        frontEnd.settings.Metadata.Strip = strip;
        for (const auto& c : cases)
            EXPECT_EQ(
                Exiftool(tags, Convert(c.source, c.format)),
                strip ? "-\t-\t-\t48\n" : "2021:06:01 10:20:30\t48.1375\t" + std::string(c.orientation) + "\t48\n")
                << c.source << " as " << c.format << (strip ? ", stripped" : "");
    }
}

// A CMYK picture of inks Pillow saves as JPEG (Adobe's inverted inks, or
// with "plain" the stored values taken as inks without Adobe's segment) in
// the CMYK profile given, and the sRGB that LittleCMS makes of it.
const char* kMakeCmyk = R"(
import sys, io
from PIL import Image, ImageCms
img = Image.new('CMYK', (48, 32))
for x in range(48):
    for y in range(32):
        img.putpixel((x, y), [(x * 5, 0, 0, 0), (0, x * 5, 200, 0), (30, 30, 30, x * 5), (200, 100, 0, 40)][y // 8])
img.save(sys.argv[1], quality=100, icc_profile=open(sys.argv[2], 'rb').read())
if sys.argv[4] == 'plain':
    data = open(sys.argv[1], 'rb').read()
    at = data.find(b'\xff\xee')
    open(sys.argv[1], 'wb').write(data[:at] + data[at + 2 + int.from_bytes(data[at + 2:at + 4], 'big'):])
img = Image.open(sys.argv[1])
cmyk = ImageCms.ImageCmsProfile(io.BytesIO(img.info['icc_profile']))
if sys.argv[4] == 'plain':
    img = Image.eval(img, lambda v: 255 - v)  # Pillow reads every CMYK file as Adobe's
flags = ImageCms.FLAGS['BLACKPOINTCOMPENSATION']
ImageCms.profileToProfile(img, cmyk, ImageCms.createProfile('sRGB'), 1, 'RGB', flags=flags).save(sys.argv[3])
)";

// With "srgb" CMYK JPEG and PSD files (8 and 16 bits, from ImageMagick) come
// through their CMYK profile, and the result carries none; without it, the
// CMYK profile never labels the RGB result.
TEST_F(Upright, CmykComesThroughItsProfile)
{
#ifndef CORVALIN_WITH_LCMS
    GTEST_SKIP() << "built without LittleCMS";
#endif
    const std::string profile = "/usr/share/color/icc/ghostscript/default_cmyk.icc";
    ASSERT_TRUE(std::filesystem::exists(profile)) << "libgs-common";
    for (const char* name : {"adobe", "plain"})
        ASSERT_EQ(RunCommand("/usr/bin/python3 -c " + Quote(kMakeCmyk) + " " + Quote(dir.File(name + ".jpg"s)) + " " +
                             Quote(profile) + " " + Quote(dir.File(name + ".png"s)) + " " + name)
                      .status,
                  0);
    ImageMagick(Quote(dir.File("adobe.jpg")) + " " + Quote(dir.File("cmyk8.psd")));
    ImageMagick(Quote(dir.File("adobe.jpg")) + " -depth 16 " + Quote(dir.File("cmyk16.psd")));
    const struct {
        const char* name;
        const char* reference;
    } cases[] = {{"adobe.jpg", "adobe.png"},
                 {"plain.jpg", "plain.png"},
                 {"cmyk8.psd", "adobe.png"},
                 {"cmyk16.psd", "adobe.png"}};
    for (const bool srgb : {true, false}) {
        frontEnd.settings.Metadata.Srgb = srgb;
        for (const auto& c : cases)
            for (const int32_t format : {4, 8, 9}) {
                SCOPED_TRACE(std::string(c.name) + " as " + std::to_string(format) + (srgb ? " in sRGB" : ""));
                const std::string result = Convert(dir.File(c.name), format);
                EXPECT_EQ(RunCommand("/usr/bin/exiftool -b -ICC_Profile " + Quote(result)).output, "");
                if (srgb && format != 4) {
                    EXPECT_LE(MaxDifference(DecodeWithPillow(result), DecodeWithPillow(dir.File(c.reference))), 4);
                }
            }
    }
}

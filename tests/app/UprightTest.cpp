// Photographs stored sideways come out as they are shown, and the choices
// about their metadata: checked against ImageMagick, Pillow and exiftool.
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "FakeFrontEnd.h"
#include "TestSupport.h"
#include "app/ConvertPicture.h"
#include "app/Session.h"

using namespace corvalin;
using namespace testsupport;

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

// The largest difference of one colour channel; the pictures' sizes must agree.
int LargestDifference(const RgbPicture& a, const RgbPicture& b)
{
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    if (a.rgb.size() != b.rgb.size())
        return 255;
    int largest = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i)
        largest = std::max(largest, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
    return largest;
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
        EXPECT_LE(LargestDifference(DecodeWithImageMagick(Convert(jpeg, 8)), DecodeWithImageMagick(jpeg + ".ref.png")),
                  2);
        const std::string png = Photo("p" + std::to_string(orientation) + ".png", orientation);
        Pillow("from PIL import Image, ImageOps\nImageOps.exif_transpose(Image.open(" + Quote(png) + ")).save(" +
               Quote(png + ".ref.png") + ")");
        const std::string result = Convert(png, 8);
        EXPECT_EQ(LargestDifference(DecodeWithPillow(result), DecodeWithPillow(png + ".ref.png")), 0);
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
    frontEnd.settings.Metadata = {false, true, false};
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

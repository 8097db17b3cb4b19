// A photograph's metadata through a whole conversion: written by Pillow and
// exiftool, read back by exiftool and Pillow, decoded by djpeg and ImageMagick.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeFrontEnd.h"
#include "TestSupport.h"
#include "app/ConvertPicture.h"
#include "app/Session.h"

using namespace corvalin;
using namespace testsupport;

namespace {

// An sRGB profile by Pillow, grown past one APP2 segment with its declared
// size set to match, so that it must travel in several chunks.
const char* kMakePhoto = R"(
import struct, sys
from PIL import Image, ImageCms
icc = bytearray(ImageCms.ImageCmsProfile(ImageCms.createProfile('sRGB')).tobytes())
icc += bytes((i * 7) & 255 for i in range(150000))
icc[0:4] = struct.pack('>I', len(icc))
open(sys.argv[2], 'wb').write(icc)
exif = Image.Exif()
exif[0x010F] = 'Canon'; exif[0x0110] = 'EOS 5D'; exif[0x0112] = 6
img = Image.radial_gradient('L').convert('RGB').resize((640, 480))
img.save(sys.argv[1], quality=90, exif=exif.tobytes(), icc_profile=bytes(icc))
img.resize((160, 120)).save(sys.argv[3])
)";

const char* kTags = "-DateTimeOriginal -Make -Model -GPSLatitude -GPSLongitude -IPTC:Caption-Abstract "
                    "-XMP:Description -Orientation -ExifImageWidth -ExifImageHeight -ThumbnailLength";

std::string Tags(const std::string& path)
{
    return RunCommand(std::string("/usr/bin/exiftool -T -n ") + kTags + " " + Quote(path)).output;
}

// The application segments after SOI, as marker and identifier, up to the frame.
std::vector<std::string> Segments(const std::vector<uint8_t>& jpeg)
{
    std::vector<std::string> found;
    for (size_t at = 2; at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] >= 0xE0 &&
                        jpeg[at + 1] <= 0xEF;) {
        const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        const size_t idLength = std::min<size_t>(length - 2, 4);
        found.push_back(std::to_string(jpeg[at + 1]) + ":" +
                        std::string(jpeg.begin() + long(at + 4), jpeg.begin() + long(at + 4 + idLength)));
        at += 2 + length;
    }
    return found;
}

// Neither decoder has anything to say about the file.
void ExpectCleanDecodes(const std::string& path)
{
    EXPECT_EQ(RunCommand("/usr/bin/djpeg -outfile /dev/null " + Quote(path) + " 2>&1").output, "");
    const CommandResult magick = RunCommand("/usr/bin/convert " + Quote(path) + " null: 2>&1");
    EXPECT_EQ(magick.status, 0);
    EXPECT_EQ(magick.output, "");
}

class Metadata : public ::testing::Test {
protected:
    FakeFrontEnd frontEnd;
    TSession session{frontEnd};
    TempDir dir;
};

}  // namespace

TEST_F(Metadata, APhotographConvertedInPlaceKeepsWhatItCarries)
{
    std::string photo = dir.File("IMG_0001.jpg");
    const std::string icc = dir.File("profile.icc"), thumb = dir.File("thumb.jpg");
    ASSERT_EQ(RunCommand("/usr/bin/python3 -c " + Quote(kMakePhoto) + " " + Quote(photo) + " " +
                         Quote(icc) + " " + Quote(thumb)).status, 0);
    ASSERT_EQ(RunCommand("/usr/bin/exiftool -q -overwrite_original '-ThumbnailImage<=" + thumb +
                         "' -DateTimeOriginal='2021:06:01 10:20:30' -GPSLatitude=48.1375 "
                         "-GPSLatitudeRef=N -GPSLongitude=11.575 -GPSLongitudeRef=E "
                         "-ExifImageWidth=640 -ExifImageHeight=480 -XMP-dc:Description='Am See' "
                         "-IPTC:Caption-Abstract='Am See' " + Quote(photo)).status, 0);
    ASSERT_EQ(Tags(photo), "2021:06:01 10:20:30\tCanon\tEOS 5D\t48.1375\t11.575\tAm See\tAm See\t6\t640\t480\t1792\n")
        << "the tools made a different source than expected";
    const std::vector<std::string> sourceSegments = Segments(ReadBytes(photo));

    // A quarter turn, then the shorter side fitted to 300: 480 x 640 becomes
    // 300 x 400; the picture stays as it is stored.
    frontEnd.settings.Metadata.AutoOrient = false;
    const std::string source = photo;
    ConvertPicture(session, photo, 0, 3, 1, 300, 300, 0, 85, false);
    ASSERT_EQ(photo, source);

    // Same date, camera, position and captions; the written size; the
    // orientation as it was; no thumbnail.
    EXPECT_EQ(Tags(photo), "2021:06:01 10:20:30\tCanon\tEOS 5D\t48.1375\t11.575\tAm See\tAm See\t6\t300\t400\t-\n");
    EXPECT_EQ(RunCommand("/usr/bin/exiftool -b -ICC_Profile " + Quote(photo) + " | cmp - " + Quote(icc)).status, 0);
    // The JFIF header first, then the source's segments in their order.
    std::vector<std::string> expected = {"224:JFIF"};
    for (const std::string& segment : sourceSegments)
        if (segment != "224:JFIF")
            expected.push_back(segment);
    EXPECT_EQ(Segments(ReadBytes(photo)), expected);
    ExpectCleanDecodes(photo);
}

TEST_F(Metadata, ColourProfilesTravelBetweenPngAndJpeg)
{
    const std::string icc = dir.File("rgb.icc");
    Pillow("from PIL import ImageCms\nopen(" + Quote(icc) + ", 'wb').write(ImageCms.ImageCmsProfile("
           "ImageCms.createProfile('sRGB')).tobytes())");
    std::string png = dir.File("a.png"), jpeg = dir.File("b.jpg");
    Pillow("from PIL import Image\nImage.radial_gradient('L').convert('RGB').save(" + Quote(png) +
           ", icc_profile=open(" + Quote(icc) + ", 'rb').read())");
    ImageMagick("-size 64x48 gradient:red-blue -profile " + Quote(icc) + " " + Quote(jpeg));

    ConvertPicture(session, png, 4, 0, 0, 10, 10, 0, 85, false);   // PNG -> JPEG
    ConvertPicture(session, jpeg, 8, 0, 0, 10, 10, 3, 85, false);  // JPEG -> 8-bit PNG
    const std::string readProfile = "from PIL import Image\nimport sys\nsys.stdout.buffer.write("
                                    "Image.open(sys.argv[1]).info.get('icc_profile', b'none'))";
    for (const std::string& result : {png, jpeg})
        EXPECT_EQ(RunCommand("/usr/bin/python3 -c " + Quote(readProfile) + " " + Quote(result) +
                             " | cmp - " + Quote(icc)).status, 0) << result;
    EXPECT_EQ(RunCommand("/usr/bin/pngcheck -q " + Quote(jpeg)).status, 0);
    ExpectCleanDecodes(png);
}

TEST_F(Metadata, TiffAndPsdDescriptionsAndProfilesReachTheirCopies)
{
    const std::string icc = dir.File("rgb.icc");
    Pillow("from PIL import ImageCms\nopen(" + Quote(icc) +
           ", 'wb').write(ImageCms.ImageCmsProfile("
           "ImageCms.createProfile('sRGB')).tobytes())");
    std::string tiff = dir.File("scan.tif"), psd = dir.File("layers.psd");
    ImageMagick("-size 64x48 gradient:red-blue -profile " + Quote(icc) + " " + Quote(tiff));
    ImageMagick("-size 64x48 gradient:red-blue -profile " + Quote(icc) + " " + Quote(psd));
    ASSERT_EQ(RunCommand("/usr/bin/exiftool -q -overwrite_original -Artist='Eva' -Copyright='(c) Eva' "
                         "-ImageDescription='Am See' -XMP-dc:Description='Am See' "
                         "-IPTC:Caption-Abstract='Am See' -Orientation#=6 " +
                         Quote(tiff))
                  .status,
              0);
    const char* tags = "-Artist -Copyright -ImageDescription -XMP:Description -IPTC:Caption-Abstract -Orientation";
    const struct {
        std::string source;
        int32_t format;
        const char* expected;
    } cases[] = {
        {tiff, 9, "Eva\t(c) Eva\tAm See\tAm See\tAm See\t-\n"},  // shown upright: no tag needed
        {tiff, 4, "Eva\t(c) Eva\tAm See\tAm See\tAm See\t1\n"},
        {psd, 4, "-\t-\t-\t-\t-\t-\n"},
    };
    for (const auto& c : cases) {
        std::string result = c.source;
        ConvertPicture(session, result, c.format, 0, 0, 10, 10, 0, 85, true);
        EXPECT_EQ(RunCommand("/usr/bin/exiftool -T -n " + std::string(tags) + " " + Quote(result)).output, c.expected)
            << result;
        EXPECT_EQ(RunCommand("/usr/bin/exiftool -b -ICC_Profile " + Quote(result) + " | cmp - " + Quote(icc)).status, 0)
            << result;
        if (c.source == tiff) {
            EXPECT_EQ(testsupport::DecodeWithPillow(result).width, 48) << result;
        }
    }
}

TEST_F(Metadata, TheResolutionASourceStatesReachesATiffCopy)
{
    const struct {
        const char* name;
        const char* make;
        const char* expected;
    } cases[] = {
        {"a.tif", "-units PixelsPerInch -density 300x150", "300\t150\t2\n"},
        {"b.tif", "-units PixelsPerCentimeter -density 100", "254\t254\t2\n"},
        {"c.jpg", "-units PixelsPerInch -density 72", "72\t72\t2\n"},
        {"d.png", "", "87.7\t87.7\t2\n"},  // none stated
    };
    for (const auto& c : cases) {
        std::string path = dir.File(c.name);
        ImageMagick(std::string("-size 16x8 xc:gray ") + c.make + " " + Quote(path));
        ConvertPicture(session, path, 9, 0, 0, 10, 10, 0, 85, true);
        EXPECT_EQ(RunCommand("/usr/bin/exiftool -T -n -XResolution -YResolution -ResolutionUnit " + Quote(path)).output,
                  c.expected)
            << c.name;
    }
}

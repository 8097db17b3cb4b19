// How many pictures a file holds, as its load reports it to the in-place
// guard: animated PNG frames, TIFF pages (however their chain loops), icon
// sizes beyond what the icon writer keeps.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "formats/BitmapEx.h"
#include "formats/tiff/TiffDirectory.h"

using namespace corvalin;
using testsupport::Quote;

namespace {

// Three frames of 8 x 6, so that every picture differs.
const char* kFrames = "frames = [Image.new('RGB', (8, 6), c) for c in ('red', 'green', 'blue')]\n";

// A still picture whose animation chunks come behind its data, where viewers
// ignore them.
const char* kLateAnimation = R"(
import struct, zlib
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
rows = b''.join(b'\0' + b'\x80' * 24 for _ in range(6))
open(out, 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 8, 6, 8, 2, 0, 0, 0))
    + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'acTL', struct.pack('>II', 3, 0))
    + chunk(b'fcTL', struct.pack('>IIIIIHHBB', 0, 8, 6, 0, 0, 1, 10, 0, 0)) + chunk(b'IEND', b''))
)";

struct CountCase {
    const char* name;
    const char* maker;  // "py:" a Pillow script writing `out`, "im:" ImageMagick's arguments before the name
    size_t pictures;
};

}  // namespace

TEST(PictureCount, EachFileAnswersThePicturesItHolds)
{
    const CountCase cases[] = {
        {"still.png", "py:frames = [Image.new('RGB', (8, 6), 'red')]\nframes[0].save(out)", 1},
        {"animated.png", "py:frames[0].save(out, save_all=True, append_images=frames[1:])", 3},
        // The default picture is no frame: two frames and the picture.
        {"apart.png", "py:frames[0].save(out, save_all=True, append_images=frames[1:], default_image=True)", 3},
        {"late.png", kLateAnimation, 1},
        {"page.tif", "im:-size 8x6 xc:red -depth 8", 1},
        {"pages.tif", "tiffcp", 3},
        {"sizes.ico", "im:-size 32x32 gradient:red-blue -define icon:auto-resize=32,16", 1},
        {"many.ico", "py:frames[0].resize((48, 48)).save(out, sizes=[(s, s) for s in range(1, 41)])", 40},
    };
    testsupport::TempDir dir;
    for (const CountCase& c : cases) {
        const std::string path = dir.File(c.name);
        const std::string maker = c.maker;
        if (maker == "tiffcp") {
            std::string pages;
            for (const char* colour : {"red", "green", "blue"}) {
                pages += " " + Quote(dir.File(std::string(colour) + ".tif"));
                testsupport::ImageMagick("-size 8x6 xc:" + std::string(colour) + " -depth 8 " +
                                         Quote(dir.File(std::string(colour) + ".tif")));
            }
            ASSERT_EQ(testsupport::RunCommand("/usr/bin/tiffcp" + pages + " " + Quote(path)).status, 0);
        } else if (maker.starts_with("im:")) {
            testsupport::ImageMagick(maker.substr(3) + " " + Quote(path));
        } else {
            testsupport::Pillow("out = " + Quote(path) + "\n" + kFrames + (maker.starts_with("py:") ? maker.substr(3) : maker));
        }
        TBitmapEx picture;
        size_t pictures = 0;
        picture.LoadFromFileEx(path, pictures);
        EXPECT_EQ(pictures, c.pictures) << c.name;
        EXPECT_GT(picture.Width(), 0) << c.name;
    }
}

// Directories of no entries at 8, 14, 20, ...: each links to the one whose
// number the chain gives (-1: the end, 99: past the file's end).
TEST(PictureCount, TiffDirectoriesAreCountedOnceWhereverTheirChainLoops)
{
    const struct {
        std::vector<int> links;
        size_t directories;
    } cases[] = {
        {{1, 2, -1}, 3},
        {{0}, 1},              // links to itself
        {{1, 0}, 2},           // back to the first
        {{1, 2, 3, 1}, 4},     // into a loop behind the first
        {{1, 2, 3, 4, 2}, 5},  // a loop of three, two directories in
        {{1, 99}, 2},          // the last links past the end
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> file{'I', 'I', 42, 0, 8, 0, 0, 0};
        for (const int link : c.links) {
            const uint32_t offset = link < 0 ? 0 : uint32_t(8 + 6 * link);
            file.insert(file.end(), {0, 0, uint8_t(offset), uint8_t(offset >> 8), 0, 0});
        }
        EXPECT_EQ(TTiffDirectory(file).DirectoryCount(), c.directories) << c.links.size() << " directories";
    }
}

// In place, with the format kept, an animated PNG stays as it was: its
// first frame alone would replace it.
TEST(PictureCount, AnAnimatedPngInPlaceIsKept)
{
    testsupport::TempDir dir;
    const std::string folder = dir.File("Bilder"), path = folder + "/animiert.png";
    std::filesystem::create_directories(folder);
    testsupport::Pillow("out = " + Quote(path) + "\n" + kFrames +
                        "frames[0].save(out, save_all=True, append_images=frames[1:])");
    const std::vector<uint8_t> before = testsupport::ReadBytes(path);
    const std::string errors = dir.File("stderr.txt");
    const auto run = testsupport::RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 XDG_CONFIG_HOME=" +
                                             Quote(dir.File("config")) + " " + Quote(CORVALIN_BINARY) +
                                             " /auto=1 /dir=" + Quote(folder) +
                                             " /format=1 /colors=1 /copy=0 /adapt=1 2>" + Quote(errors));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(testsupport::ReadBytes(path), before);
    const std::vector<uint8_t> said = testsupport::ReadBytes(errors);
    EXPECT_NE(std::string(said.begin(), said.end()).find("Die Datei enthält 3 Bilder"), std::string::npos)
        << std::string(said.begin(), said.end());
}

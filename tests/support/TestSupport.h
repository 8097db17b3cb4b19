// Helpers shared by the tests: temporary folders, running programs, and
// decoding pictures with independent tools (Pillow, ImageMagick).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvalin {
class TBitmap;
struct TRaster;
}

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct CommandResult {
    int status = -1;
    std::string output;  // standard output
};

// Runs `body` in a child process, so that its peak memory is its own.
struct ChildRun {
    int status = -1;   // the exit status, or -1 when the child did not exit
    long peakKb = 0;   // the child's peak resident memory
};
ChildRun RunInChild(const std::function<int()>& body);

// Runs a shell command; standard error goes to the test log.
CommandResult RunCommand(const std::string& command);
// Runs a reference tool that makes files in a TempDir from files there (or
// changes them), once per build: what it made is kept in the build's folder
// of reference files under a key of the command, the bytes of the files it
// names and the version of the programs it starts, and copied back from
// there the next time. Fails the test when the tool fails.
void RunToolOnce(const std::string& command);
std::string Quote(const std::string& text);

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A picture decoded by an independent tool: 8-bit RGB triples, top row first.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    uint32_t At(int x, int y) const;  // 0xRRGGBB
};

// Decodes any file with Pillow (/usr/bin/python3), converted to RGB.
RgbPicture DecodeWithPillow(const std::string& path);
// Decodes any file with ImageMagick (/usr/bin/convert), converted to 8-bit RGB.
RgbPicture DecodeWithImageMagick(const std::string& path);
// A file a run wrote, as the end-to-end tests look at it: decoded by Pillow,
// or where the reference tools are left out (the sanitizer passes) by the
// program's own readers, which then run under the sanitizers too.
RgbPicture DecodeConverted(const std::string& path);
// Pixels of picture whose red, green or blue differ from reference's by more
// than `tolerance`; -1 (and a failure) when their sizes differ.
int DifferingPixels(const corvalin::TBitmap& picture, const RgbPicture& reference, int tolerance = 0);
// A picture with alpha decoded by an independent tool: 8-bit RGBA
// quadruples, top row first.
struct RgbaPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
    const uint8_t* At(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

// The largest difference of any colour sample (and of opacity, withAlpha);
// 256 when the sizes differ or the pictures are empty.
int MaxDifference(const RgbPicture& a, const RgbPicture& b);
int MaxDifference(const RgbaPicture& a, const RgbaPicture& b, bool withAlpha = false);
// Peak signal-to-noise ratio of the colour samples in decibels: 99 when they
// are equal, 0 when the sizes differ or the pictures are empty.
double Psnr(const RgbPicture& a, const RgbPicture& b);
double Psnr(const RgbaPicture& a, const RgbaPicture& b);
// A raster's pixels as 8-bit RGB triples.
RgbPicture RgbOf(const corvalin::TRaster& raster);

// Pillow's decode converted to RGBA, and ImageMagick's with alpha on (8 bits).
RgbaPicture DecodeRgbaWithPillow(const std::string& path);
RgbaPicture DecodeRgbaWithImageMagick(const std::string& path);

// Runs /usr/bin/convert with the given arguments, and /usr/bin/python3 with a
// Pillow script given as text, to make files (once per build, RunToolOnce);
// fails the test on error.
void ImageMagick(const std::string& arguments);
void Pillow(const std::string& script);

bool HaveTool(const std::string& path);

}  // namespace testsupport

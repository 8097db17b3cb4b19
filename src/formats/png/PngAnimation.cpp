#include "formats/png/PngAnimation.h"

#include "common/ByteCursor.h"
#include "formats/png/PngImage.h"

namespace corvalin {

namespace {

constexpr TChunkType kacTL = MakeChunkType("acTL");
constexpr TChunkType kfcTL = MakeChunkType("fcTL");
constexpr TChunkType kIDAT = MakeChunkType("IDAT");
constexpr size_t kAnimationControlBytes = 8;  // frames, then plays

}  // namespace

size_t PngPictureCount(const TPNGImage& png)
{
    // Chunks behind the picture data cannot make it part of an animation:
    // viewers then show the file as a still picture.
    size_t frames = 0;
    bool defaultIsFrame = false;
    for (const auto& chunk : png.Chunks()) {
        if (chunk->Type == kIDAT)
            break;
        if (chunk->Type == kacTL && chunk->Data.size() == kAnimationControlBytes)
            frames = Get32(chunk->Data.data(), TByteOrder::BigEndian);
        else if (chunk->Type == kfcTL)
            defaultIsFrame = true;
    }
    if (frames == 0)
        return 1;
    return defaultIsFrame ? frames : frames + 1;
}

}  // namespace corvalin

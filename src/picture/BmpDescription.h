// What a BMP file said beyond its pixels. It travels beside the picture's
// raster, so that writing the picture as BMP gives the file's layout back.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace corvalin {

struct TBmpDescription {
    bool topDown = false;  // rows were stored top row first
    bool os2 = false;      // the file had the 12-byte OS/2 header
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t importantColors = 0;
    // The bytes of a run-length-encoded file, written back while the picture is unchanged.
    std::shared_ptr<const std::vector<uint8_t>> keptFile;
    // The file ended before its pixels did; the rows it lacks are 0.
    bool damaged = false;
};

}  // namespace corvalin

// The program's picture: a bitmap that loads and saves itself by file
// extension in any of the ten formats.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "picture/Bitmap.h"

namespace corvalin {

// Format index 1..10 names a row; 0 stands for no format of the table.
inline constexpr std::array<const char*, 10> FormatExtensions = {
    "bmp", "gif", "ico", "jpg", "pcd", "psd", "pcx", "png", "tif", "wmf"};

enum FormatIndex : uint8_t {
    fiUnknown = 0, fiBmp = 1, fiGif = 2, fiIco = 3, fiJpg = 4, fiPcd = 5,
    fiPsd = 6, fiPcx = 7, fiPng = 8, fiTif = 9, fiWmf = 10
};

// The format index of a file name's extension: the text from the last "."
// when no "/" follows it, ASCII-lower-cased and compared exactly.
uint8_t FormatIndexOf(const std::string& fileName);

class TBitmapEx : public TBitmap {
public:
    // Empty, with 24 bits per pixel for the first raster.
    TBitmapEx();

    // Replaces the content with the file's picture; a failed load leaves the
    // picture as it was. Returns the format index that chose the reader.
    uint8_t LoadFromFileEx(const std::string& fileName);
    // Writes the picture in the format the extension chooses, replacing the
    // file atomically. Quality (1..100) is used for JPEG only.
    uint8_t SaveToFileEx(const std::string& fileName, int32_t quality) const;
};

}  // namespace corvalin

#include "formats/BitmapEx.h"

#include "common/Exceptions.h"
#include "common/FileIO.h"

namespace corvalin {

namespace {

// Index 0 (an extension of no row) reads and writes BMP data like row 1.
const TFormatRow& RowOrBmp(uint8_t index)
{
    return FormatRow(index == fiUnknown ? fiBmp : index);
}

// Rows whose codec is not part of this build fail clearly instead of
// pretending to succeed.
[[noreturn]] void NotSupported(const TFormatRow& row, const char* direction)
{
    throw EInvalidGraphic(std::string(row.Description) + "-Dateien können noch nicht " + direction +
                          " werden");
}

}  // namespace

TBitmapEx::TBitmapEx() : TBitmap(TPixelFormat::pf24bit) {}

uint8_t TBitmapEx::LoadFromFileEx(const std::string& fileName)
{
    const uint8_t index = FormatIndexOf(fileName);
    const TFormatRow& row = RowOrBmp(index);
    if (row.Load == nullptr)
        NotSupported(row, "gelesen");
    const std::vector<uint8_t> bytes = ReadWholeFile(fileName);
    TPictureMetadata loaded;
    row.Load(*this, bytes, loaded);
    Metadata = std::move(loaded);
    return index;
}

uint8_t TBitmapEx::SaveToFileEx(const std::string& fileName, int32_t quality) const
{
    const uint8_t index = FormatIndexOf(fileName);
    const TFormatRow& row = RowOrBmp(index);
    if (row.Save == nullptr)
        NotSupported(row, "geschrieben");
    row.Save(*this, fileName, quality, Metadata);
    return index;
}

}  // namespace corvalin

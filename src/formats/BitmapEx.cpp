#include "formats/BitmapEx.h"

#include "common/Exceptions.h"
#include "common/FileIO.h"

namespace corvalin {

namespace {

// Index 0 (an extension of no row) reads and writes BMP data like row 1.
const TFormatRow& RowOrBmp(uint8_t index)
{
    return FormatRow(index == fiUnknown ? int(fiBmp) : int(index));
}

// Rows whose codec is not part of this build fail clearly instead of
// pretending to succeed.
[[noreturn]] void NotSupported(const TFormatRow& row, const char* direction)
{
    throw EInvalidGraphic(std::string(row.Description) + "-Dateien können noch nicht " + direction +
                          " werden");
}

// The data decides over the name where it carries another readable format's
// signature: a PNG named .jpg, or BMP data that older runs saved as .pcx.
const TFormatRow& ReaderRow(uint8_t nameIndex, std::span<const uint8_t> file)
{
    const uint8_t contentIndex = FormatIndexOfContent(file);
    const TFormatRow& named = RowOrBmp(nameIndex);
    if (contentIndex != fiUnknown && FormatRow(contentIndex).Load != named.Load)
        return FormatRow(contentIndex);
    return named;
}

}  // namespace

TBitmapEx::TBitmapEx() : TBitmap(TPixelFormat::pf24bit) {}

uint8_t TBitmapEx::LoadFromFileEx(const std::string& fileName)
{
    size_t pictures = 0;
    return LoadFromFileEx(fileName, pictures);
}

uint8_t TBitmapEx::LoadFromFileEx(const std::string& fileName, size_t& pictures)
{
    return LoadFromFileEx(fileName, pictures, TRowRequest{});
}

uint8_t TBitmapEx::LoadFromFileEx(const std::string& fileName, size_t& pictures,
                                  const TRowRequest& rows)
{
    const uint8_t index = FormatIndexOfName(fileName);
    const TLargeBytes bytes = ReadWholeFile(fileName);
    const TFormatRow& row = ReaderRow(index, bytes);
    if (row.Load == nullptr)
        NotSupported(row, "gelesen");
    TPictureMetadata loaded;
    pictures = rows && row.LoadRows != nullptr ? row.LoadRows(*this, bytes, loaded, rows)
                                               : row.Load(*this, bytes, loaded);
    Metadata = std::move(loaded);
    return index;
}

uint8_t TBitmapEx::LoadFromFileEx(const std::string& fileName, size_t& pictures, const TReductionRequest& reduction)
{
    const uint8_t index = FormatIndexOfName(fileName);
    const TLargeBytes bytes = ReadWholeFile(fileName);
    const TFormatRow& row = ReaderRow(index, bytes);
    if (row.Load == nullptr)
        NotSupported(row, "gelesen");
    TPictureMetadata loaded;
    pictures = reduction.largestFactor && row.LoadReduced != nullptr ? row.LoadReduced(*this, bytes, loaded, reduction)
                                                                     : row.Load(*this, bytes, loaded);
    Metadata = std::move(loaded);
    return index;
}

uint8_t TBitmapEx::SaveToFileEx(const std::string& fileName, int32_t quality) const
{
    const uint8_t index = FormatIndexOfName(fileName);
    const TFormatRow& row = RowOrBmp(index);
    if (row.Save == nullptr)
        NotSupported(row, "geschrieben");
    if (Width() <= 0 || Height() <= 0)
        throw EInvalidGraphic(FormatText("Ein leeres Bild (%d x %d Pixel) wird nicht gespeichert",
                                         {std::to_string(Width()), std::to_string(Height())}));
    row.Save(*this, fileName, quality, Metadata);
    return index;
}

}  // namespace corvalin

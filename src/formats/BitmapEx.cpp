#include "formats/BitmapEx.h"

#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "formats/SizeLimit.h"

namespace corvalin {

namespace {

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
    return LoadThrough(fileName, pictures, [&](const TFormatRow& row, std::span<const uint8_t> bytes, TPictureMetadata& loaded) {
        return rows && row.LoadRows != nullptr ? row.LoadRows(*this, bytes, loaded, rows)
                                               : row.Load(*this, bytes, loaded);
    });
}

uint8_t TBitmapEx::LoadFromFileEx(const std::string& fileName, size_t& pictures, const TReductionRequest& reduction)
{
    return LoadThrough(fileName, pictures, [&](const TFormatRow& row, std::span<const uint8_t> bytes, TPictureMetadata& loaded) {
        return reduction.largestFactor && row.LoadReduced != nullptr ? row.LoadReduced(*this, bytes, loaded, reduction)
                                                                     : row.Load(*this, bytes, loaded);
    });
}

uint8_t TBitmapEx::LoadCmykToSrgb(const std::string& fileName, size_t& pictures)
{
    return LoadThrough(fileName, pictures, [&](const TFormatRow& row, std::span<const uint8_t> bytes, TPictureMetadata& loaded) {
        return row.LoadCmykToSrgb != nullptr ? row.LoadCmykToSrgb(*this, bytes, loaded)
                                             : row.Load(*this, bytes, loaded);
    });
}

uint8_t TBitmapEx::LoadThrough(const std::string& fileName, size_t& pictures, const TReadThrough& read)
{
    const uint8_t index = FormatIndexOfName(fileName);
    const TLargeBytes bytes = ReadWholeFile(fileName);
    const TFormatRow& row = FormatRow(ReaderIndexOf(index, bytes));
    if (row.Load == nullptr)
        NotSupported(row, "gelesen");
    TPictureMetadata loaded;
    pictures = read(row, bytes, loaded);
    Metadata = std::move(loaded);
    return index;
}

const TFormatRow& TBitmapEx::RowToSave(const std::string& fileName) const
{
    const TFormatRow& row = FormatRow(RowIndexOrBmp(FormatIndexOfName(fileName)));
    if (row.Save == nullptr)
        NotSupported(row, "geschrieben");
    if (Width() <= 0 || Height() <= 0)
        throw EInvalidGraphic(FormatText("Ein leeres Bild (%d x %d Pixel) wird nicht gespeichert",
                                         {std::to_string(Width()), std::to_string(Height())}));
    return row;
}

uint8_t TBitmapEx::SaveToFileEx(const std::string& fileName, int32_t quality) const
{
    RowToSave(fileName).Save(*this, fileName, quality, Metadata);
    return FormatIndexOfName(fileName);
}

int32_t TBitmapEx::SaveWithinSize(const std::string& fileName, int32_t quality, int64_t maxBytes) const
{
    const TFormatRow& row = RowToSave(fileName);
    if (maxBytes <= 0 || row.Encode == nullptr) {
        row.Save(*this, fileName, quality, Metadata);
        return 0;
    }
    const TFittedEncoding fitted =
        EncodeWithinSize([&](int32_t q) { return row.Encode(*this, q, Metadata); }, quality, maxBytes);
    WriteFileAtomically(fileName, [&](TStream& file) { file.WriteBuffer(fitted.Bytes); });
    return fitted.Quality;
}

}  // namespace corvalin

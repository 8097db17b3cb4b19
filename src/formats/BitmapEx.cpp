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

// A load by name alone: the format its name says, confirmed by the content.
TFormatChoice FormatsToLoad(const std::string& fileName)
{
    return {FormatIndexOfName(fileName), fiUnknown, fiUnknown};
}

}  // namespace

TBitmapEx::TBitmapEx() : TBitmap(TPixelFormat::pf24bit) {}

FormatIndex TBitmapEx::LoadFromFileEx(const std::string& fileName)
{
    size_t pictures = 0;
    return LoadFromFileEx(fileName, pictures);
}

FormatIndex TBitmapEx::LoadFromFileEx(const std::string& fileName, size_t& pictures)
{
    return LoadFromFileEx(fileName, pictures, TRowRequest{});
}

FormatIndex TBitmapEx::LoadFromFileEx(const std::string& fileName, size_t& pictures,
                                      const TRowRequest& rows)
{
    TFormatChoice formats = FormatsToLoad(fileName);
    return Load(fileName, formats, pictures, {rows, {}, false});
}

FormatIndex TBitmapEx::LoadFromFileEx(const std::string& fileName, size_t& pictures, const TReductionRequest& reduction)
{
    TFormatChoice formats = FormatsToLoad(fileName);
    return Load(fileName, formats, pictures, {{}, reduction, false});
}

FormatIndex TBitmapEx::Load(const std::string& fileName, TFormatChoice& formats, size_t& pictures,
                            const TLoadRequest& request)
{
    return Load(ReadWholeFile(fileName), formats, pictures, request);
}

FormatIndex TBitmapEx::Load(std::span<const uint8_t> bytes, TFormatChoice& formats, size_t& pictures,
                            const TLoadRequest& request)
{
    formats.reader = ReaderIndexOf(formats.named, bytes);
    const TFormatRow& row = FormatRow(formats.reader);
    if (row.Load == nullptr)
        NotSupported(row, "gelesen");
    TPictureMetadata loaded;
    if (request.cmykToSrgb && row.LoadCmykToSrgb != nullptr)
        pictures = row.LoadCmykToSrgb(*this, bytes, loaded);
    else if (request.reduction.largestFactor && row.LoadReduced != nullptr)
        pictures = row.LoadReduced(*this, bytes, loaded, request.reduction);
    else if (request.rows && row.LoadRows != nullptr)
        pictures = row.LoadRows(*this, bytes, loaded, request.rows);
    else
        pictures = row.Load(*this, bytes, loaded);
    Metadata = std::move(loaded);
    return formats.named;
}

const TFormatRow& TBitmapEx::RowToSave(FormatIndex format) const
{
    const TFormatRow& row = FormatRow(RowIndexOrBmp(format));
    if (row.Save == nullptr)
        NotSupported(row, "geschrieben");
    if (Width() <= 0 || Height() <= 0)
        throw EInvalidGraphic(FormatText("Ein leeres Bild (%d x %d Pixel) wird nicht gespeichert",
                                         {std::to_string(Width()), std::to_string(Height())}));
    return row;
}

FormatIndex TBitmapEx::SaveToFileEx(const std::string& fileName, int32_t quality) const
{
    const FormatIndex format = FormatIndexOfName(fileName);
    RowToSave(format).Save(*this, fileName, quality, Metadata);
    return format;
}

int32_t TBitmapEx::SaveWithinSize(const std::string& fileName, int32_t quality, int64_t maxBytes) const
{
    return SaveWithinSize(fileName, FormatIndexOfName(fileName), quality, maxBytes);
}

int32_t TBitmapEx::SaveWithinSize(const std::string& fileName, FormatIndex format, int32_t quality,
                                  int64_t maxBytes) const
{
    const TFormatRow& row = RowToSave(format);
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

#include "formats/jpeg/JpegImage.h"

#include "common/FileIO.h"
#include "common/Stream.h"
#include "picture/Backdrop.h"

namespace corvalin {

namespace {

constexpr const char* kResizeText = "Die Größe einer JPEG-Grafik kann nicht verändert werden";

void PrepareToWrite(TJPEGImage& image, const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata)
{
    image.Assign(picture);
    image.SetCompressionQuality(quality);
    image.SetMetadata(metadata);
}

}  // namespace

int32_t TJPEGImage::Width() const
{
    if (!bitmap_.Empty())
        return bitmap_.Width();
    return data_ ? data_->header.width : 0;
}

int32_t TJPEGImage::Height() const
{
    if (!bitmap_.Empty())
        return bitmap_.Height();
    return data_ ? data_->header.height : 0;
}

void TJPEGImage::SetWidth(int32_t)
{
    throw EInvalidGraphicOperation(kResizeText);
}

void TJPEGImage::SetHeight(int32_t)
{
    throw EInvalidGraphicOperation(kResizeText);
}

void TJPEGImage::SetCompressionQuality(int quality)
{
    if (quality < 1 || quality > 100)
        throw ERangeError(msg::RangeError);
    quality_ = quality;
}

void TJPEGImage::LoadFromBytes(std::vector<uint8_t> bytes)
{
    auto data = std::make_shared<TJPEGData>();
    data->bytes = std::move(bytes);
    data->header = ReadJpegHeader(data->bytes);
    metadata_ = ReadJpegMetadata(data->bytes);
    data_ = std::move(data);
    bitmap_.Clear();
}

void TJPEGImage::Assign(const TBitmap& picture)
{
    data_.reset();
    metadata_ = {};
    bitmap_.AssignPicture(&picture);
}

void TJPEGImage::SaveToStream(TStream& stream)
{
    if (data_ == nullptr) {
        if (bitmap_.Empty())
            return;
        auto data = std::make_shared<TJPEGData>();
        std::optional<TRaster> flattened;
        data->bytes =
            EncodeJpeg(WithoutAlpha(*bitmap_.Raster(), flattened), quality_,
                       JpegMarkersFor(metadata_, bitmap_.Width(), bitmap_.Height()), JpegDensityFor(metadata_));
        data->header = {bitmap_.Width(), bitmap_.Height(), false, false};
        data_ = std::move(data);
    }
    stream.WriteBuffer(data_->bytes);
}

const TBitmap& TJPEGImage::Bitmap() const
{
    if (bitmap_.Empty() && data_ != nullptr)
        bitmap_.AdoptRaster(DecodeJpeg(data_->bytes));
    return bitmap_;
}

void TJPEGImage::AssignTo(TBitmap& target) const
{
    Bitmap().AssignTo(target);
}

size_t LoadJpegFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    return LoadJpegRows(picture, file, metadata, {});
}

namespace {

// Reading the side data cannot fail on damage, so the decoder's own header
// pass is the one that refuses a damaged file.
template <typename Decode>
size_t LoadDecoded(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata, Decode decode)
{
    TBitmap decoded;
    TSourceReport report;
    decoded.AdoptRaster(decode(&report));
    metadata = ReadJpegMetadata(file);
    metadata.source = report;
    picture.AssignPicture(&decoded);
    return 1;
}

}  // namespace

size_t LoadJpegRows(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                    const TRowRequest& rows)
{
    return LoadDecoded(picture, file, metadata, [&](TSourceReport* report) { return DecodeJpeg(file, rows, report); });
}

size_t LoadJpegReduced(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                       const TReductionRequest& reduction)
{
    return LoadDecoded(picture, file, metadata,
                       [&](TSourceReport* report) { return DecodeJpegReduced(file, reduction, report); });
}

size_t LoadJpegCmykToSrgb(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    const TPictureMetadata side = ReadJpegMetadata(file);
    const TCmykRowConversion through = CmykToSrgbThrough(side.iccProfile);
    const size_t count = LoadDecoded(picture, file, metadata,
                                     [&](TSourceReport* report) { return DecodeJpegThrough(file, through, report); });
    if (through && metadata.source.colourModel == TSourceReport::TColourModel::Cmyk) {
        metadata.iccProfile.clear();
        metadata.isSrgb = true;
    }
    return count;
}

void SaveJpegFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                  const TPictureMetadata& metadata)
{
    TJPEGImage image;
    PrepareToWrite(image, picture, quality, metadata);
    WriteFileAtomically(fileName, [&](TStream& file) { image.SaveToStream(file); });
}

std::vector<uint8_t> EncodeJpegFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata)
{
    TJPEGImage image;
    PrepareToWrite(image, picture, quality, metadata);
    TMemoryStream memory;
    image.SaveToStream(memory);
    return memory.TakeBytes();
}

}  // namespace corvalin

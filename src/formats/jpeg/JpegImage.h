// The JPEG picture: a file's compressed bytes with their parsed header,
// decoded into a raster on first demand; or an imported raster picture,
// encoded as baseline JFIF when it is written.
#pragma once

#include <cstdint>
#include <span>
#include <memory>
#include <string>
#include <vector>

#include "common/Exceptions.h"
#include "picture/Bitmap.h"
#include "formats/jpeg/JpegCodec.h"
#include "formats/metadata/PictureMetadata.h"

namespace corvalin {

class TStream;

class EInvalidGraphicOperation : public Exception {
public:
    explicit EInvalidGraphicOperation(const std::string& message) : Exception(message) {}
};

// A JPEG file's bytes and what its header says; shared, never changed.
struct TJPEGData {
    std::vector<uint8_t> bytes;
    TJpegHeader header;
};

class TJPEGImage : public TGraphic {
public:
    static constexpr int kDefaultQuality = 90;

    int32_t Width() const override;
    int32_t Height() const override;
    // Refused: a JPEG picture keeps the size it was decoded or imported with.
    void SetWidth(int32_t width);
    void SetHeight(int32_t height);

    int CompressionQuality() const { return quality_; }
    // Throws ERangeError "Fehler bei Bereichsprüfung" outside 1..100.
    void SetCompressionQuality(int quality);
    // Whether the file read has several scans.
    bool ProgressiveEncoding() const { return data_ != nullptr && data_->header.multipleScans; }

    // Keeps the bytes and parses the header with the side data it carries;
    // nothing is decoded yet.
    void LoadFromBytes(std::vector<uint8_t> bytes);
    // Drops any compressed data and side data and shares the picture's raster.
    void Assign(const TBitmap& picture);
    // The side data read with the file, or what an imported picture is to
    // carry when it is encoded.
    const TPictureMetadata& Metadata() const { return metadata_; }
    void SetMetadata(TPictureMetadata metadata) { metadata_ = std::move(metadata); }
    // Writes the compressed data, encoding the held raster first when there
    // is none; an empty picture writes nothing.
    void SaveToStream(TStream& stream);

    // The decoded raster, made on the first request.
    const TBitmap& Bitmap() const;
    void AssignTo(TBitmap& target) const override;

private:
    std::shared_ptr<const TJPEGData> data_;
    mutable TBitmap bitmap_;
    TPictureMetadata metadata_;
    int quality_ = kDefaultQuality;
};

// LoadFromFileEx's JPEG row: the picture takes the file's decoded raster,
// metadata its side data.
size_t LoadJpegFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata);
// As LoadJpegFile, delivering only the rows a scaling samples when `rows`
// asks for fewer than all (see TRowRequest).
size_t LoadJpegRows(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                    const TRowRequest& rows);
// As LoadJpegFile, reduced while decoding as far as `reduction` allows (see
// TReductionRequest and DecodeJpegReduced).
size_t LoadJpegReduced(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                       const TReductionRequest& reduction);
// As LoadJpegFile, a CMYK file's inks brought to sRGB through the CMYK
// profile it carries (see CmykToSrgbThrough), which the metadata then no
// longer holds; other files load as LoadJpegFile loads them.
size_t LoadJpegCmykToSrgb(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata);
// SaveToFileEx's JPEG row: the picture encoded at the given quality, with
// the side data the format holds, replaces the file.
void SaveJpegFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                  const TPictureMetadata& metadata = {});
// The JPEG row's encoder: the bytes SaveJpegFile would write.
std::vector<uint8_t> EncodeJpegFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata);

}  // namespace corvalin

// TReaderGraphic: the base of the PCX, PSD, Photo CD and TIFF readers. A
// reader describes the picture (ReadPictureInfo), sets up its colour manager,
// makes the raster from the manager's target format, and pushes decoded rows
// through the manager straight into the scan lines.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/Probe.h"
#include "formats/metadata/PictureMetadata.h"
#include "formats/reader/ColorManager.h"
#include "formats/reader/ImageProperties.h"
#include "picture/Bitmap.h"

namespace corvalin {

struct TPictureMetadata;

// The reader family's three messages; `format` names the file type.
[[noreturn]] void ThrowInvalidFormat(const std::string& format);
[[noreturn]] void ThrowInvalidColorFormat(const std::string& format);
[[noreturn]] void ThrowNotSupported(const std::string& what, const std::string& format);

class TReaderGraphic : public TBitmap {
public:
    TReaderGraphic() = default;

    // Replaces the picture with the file's (index 0 for the file's main picture).
    virtual void LoadFromBytes(std::span<const uint8_t> file) = 0;
    // Resets the description and fills it from picture `index` of the file;
    // false when the file holds no such picture. The base only resets.
    virtual bool ReadPictureInfo(std::span<const uint8_t> file, uint32_t index);

    // Shares the raster like TBitmap; from another reader it takes its
    // description too.
    void AssignPicture(const TGraphic* source);

    const TImageProperties& ImageProperties() const { return properties_; }
    // What the last load found out about the file: its depth and colour
    // model from the description, and whether missing or damaged data had to
    // be filled in.
    virtual TSourceReport SourceReport() const;
    TColorManager& ColorManager() { return colorManager_; }
    // Pictures in the file the reader loaded last: one, unless the format
    // holds several (frames, pages).
    virtual size_t PictureCount() const { return 1; }

protected:
    // A fresh raster of the description's size in the colour manager's
    // target format; "Invalid color format in <format> file." when no
    // bitmap layout holds the target samples.
    void CreateTargetRaster(const std::string& format);
    // The bytes that raster will take, checked as CreateTargetRaster checks
    // them (the same errors), without allocating anything.
    int64_t TargetRasterBytes(const std::string& format) const;

    TImageProperties properties_;
    TColorManager colorManager_;
    // Set by a reader that filled in what the file did not hold; the
    // description's reset clears it.
    bool damaged_ = false;
};

// The format table's load path through a reader (a row's entry is
// LoadThroughReader<TReader>): the picture takes the reader's raster, the
// metadata what a reader with a ReadMetadata of its own finds and the reader's
// report on the file; returns how many pictures the file holds.
template <class Reader>
size_t LoadThroughReader(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    Reader reader;
    reader.LoadFromBytes(file);
    if constexpr (requires { Reader::ReadMetadata(file); })
        metadata = Reader::ReadMetadata(file);
    picture.AssignPicture(&reader);
    metadata.source = reader.SourceReport();
    return reader.PictureCount();
}

// What a reader's description says of its picture: size, depth, colour
// scheme and opacity.
TProbe ProbeOfDescription(const TImageProperties& properties);
// The Exif orientation and colour profile a reader's metadata carries.
void ProbeMetadata(const TPictureMetadata& metadata, TProbe& probe);

// The format table's probe through a reader (a row's entry is
// ProbeThroughReader<TReader>): the description of picture `index` and what
// the reader's report says after it, with the metadata of a reader that
// reads it alone; no pixel is decoded.
template <class Reader, uint32_t index = 0>
std::optional<TProbe> ProbeThroughReader(std::span<const uint8_t> file)
{
    Reader reader;
    if (!reader.ReadPictureInfo(file, index))
        return std::nullopt;
    TProbe probe = ProbeOfDescription(reader.ImageProperties());
    const TSourceReport report = reader.SourceReport();
    probe.bitsPerSample = report.bitsPerSample;
    probe.layers = report.layers;
    probe.pictures = reader.PictureCount();
    if constexpr (requires { Reader::ReadMetadata(file); })
        ProbeMetadata(Reader::ReadMetadata(file), probe);
    return probe;
}

}  // namespace corvalin

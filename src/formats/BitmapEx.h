// The program's picture: a bitmap that loads and saves itself by file
// extension in any of the formats of the format table.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "formats/FormatTable.h"
#include "formats/metadata/PictureMetadata.h"
#include "picture/Bitmap.h"

namespace corvalin {

class TBitmapEx : public TBitmap {
public:
    // Empty, with 24 bits per pixel for the first raster.
    TBitmapEx();

    // Replaces the content with the file's picture; a failed load leaves the
    // picture as it was. Returns the format index of the name's extension
    // (".jpeg", ".jpe" and ".tiff" count as their formats). The reader is
    // the one of that format, unless the file's first bytes carry the
    // signature of another readable format.
    uint8_t LoadFromFileEx(const std::string& fileName);
    // As above; pictures receives how many pictures the file holds (the
    // picture takes the first).
    uint8_t LoadFromFileEx(const std::string& fileName, size_t& pictures);
    // As above, for a picture the caller will scale unturned: a reader that
    // can decode rows alone then delivers only the rows the scaling samples,
    // as many as `rows` answers (see TRowRequest); other readers decode all.
    uint8_t LoadFromFileEx(const std::string& fileName, size_t& pictures, const TRowRequest& rows);
    // As above, for a picture the caller will shrink smoothly: a reader that
    // can decode a picture reduced then delivers it reduced as far as
    // `reduction` allows (see TReductionRequest); other readers decode it whole.
    uint8_t LoadFromFileEx(const std::string& fileName, size_t& pictures, const TReductionRequest& reduction);
    // As above, for a picture whose colours go to sRGB: a CMYK picture whose
    // reader can (the table's LoadCmykToSrgb) comes through the CMYK colour
    // profile it carries, which Metadata then no longer holds; other readers
    // load as above.
    uint8_t LoadCmykToSrgb(const std::string& fileName, size_t& pictures);
    // Writes the picture in the format the extension chooses, replacing the
    // file atomically. Quality (1..100) is used for JPEG only. An empty
    // picture is refused: it would replace a file by nothing.
    uint8_t SaveToFileEx(const std::string& fileName, int32_t quality) const;
    // As SaveToFileEx, in a format with a quality held to at most maxBytes
    // (see EncodeWithinSize): the highest quality up to `quality` whose file
    // fits is written and returned. Formats without a quality, and a
    // maxBytes of 0, are saved as SaveToFileEx saves them (and give 0). Too
    // large a file even at quality 1 fails, and nothing is written.
    int32_t SaveWithinSize(const std::string& fileName, int32_t quality, int64_t maxBytes) const;

    // What the file loaded last carries besides its pixels, and what a save
    // writes into the formats that hold it. Raster operations leave it alone.
    TPictureMetadata Metadata;

private:
    // Picks the row's reading function for one kind of load and calls it.
    using TReadThrough =
        std::function<size_t(const TFormatRow&, std::span<const uint8_t>, TPictureMetadata&)>;
    // Reads the file whole and hands it to `read` with the row that reads
    // it; the metadata replaces the last file's only once the read succeeded.
    uint8_t LoadThrough(const std::string& fileName, size_t& pictures, const TReadThrough& read);
    // The row that writes the file's name; refuses a row without a writer
    // and an empty picture.
    const TFormatRow& RowToSave(const std::string& fileName) const;
};

}  // namespace corvalin

// The program's picture: a bitmap that loads and saves itself by file
// extension in any of the formats of the format table.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/FormatTable.h"
#include "formats/metadata/PictureMetadata.h"
#include "picture/Bitmap.h"

namespace corvalin {

// What one load asks of the row that reads the file; a reader that cannot
// do what is asked decodes the whole picture.
struct TLoadRequest {
    // Only the rows a scaling of the unturned picture samples (see TRowRequest).
    TRowRequest rows;
    // The picture reduced while decoding, as far as it allows (see TReductionRequest).
    TReductionRequest reduction;
    // A CMYK picture through the CMYK profile it carries (the table's LoadCmykToSrgb).
    bool cmykToSrgb = false;
};

class TBitmapEx : public TBitmap {
public:
    // Empty, with 24 bits per pixel for the first raster.
    TBitmapEx();

    // Replaces the content with the file's picture; a failed load leaves the
    // picture as it was. Returns the format index of the name's extension
    // (".jpeg", ".jpe" and ".tiff" count as their formats). The reader is
    // the one of that format, unless the file's first bytes carry the
    // signature of another readable format.
    FormatIndex LoadFromFileEx(const std::string& fileName);
    // As above; pictures receives how many pictures the file holds (the
    // picture takes the first).
    FormatIndex LoadFromFileEx(const std::string& fileName, size_t& pictures);
    // As above, for a picture the caller will scale unturned: a reader that
    // can decode rows alone then delivers only the rows the scaling samples,
    // as many as `rows` answers (see TRowRequest); other readers decode all.
    FormatIndex LoadFromFileEx(const std::string& fileName, size_t& pictures, const TRowRequest& rows);
    // As above, for a picture the caller will shrink smoothly: a reader that
    // can decode a picture reduced then delivers it reduced as far as
    // `reduction` allows (see TReductionRequest); other readers decode it whole.
    FormatIndex LoadFromFileEx(const std::string& fileName, size_t& pictures, const TReductionRequest& reduction);
    // The one load the others make: the file read by the row for the
    // format its name says (formats.named, see TFormatChoice), which the
    // content confirms or overrides (formats.reader receives the row read
    // through), as `request` asks. A CMYK picture whose reader can comes
    // through the CMYK colour profile it carries, which Metadata then no
    // longer holds. Returns formats.named.
    FormatIndex Load(const std::string& fileName, TFormatChoice& formats, size_t& pictures,
                     const TLoadRequest& request);
    // As above, from the file's bytes, read already.
    FormatIndex Load(std::span<const uint8_t> file, TFormatChoice& formats, size_t& pictures,
                     const TLoadRequest& request);
    // Writes the picture in the format the extension chooses, replacing the
    // file atomically. Quality (1..100) is used for JPEG only. An empty
    // picture is refused: it would replace a file by nothing.
    FormatIndex SaveToFileEx(const std::string& fileName, int32_t quality) const;
    // As SaveToFileEx, in a format with a quality held to at most maxBytes
    // (see EncodeWithinSize): the highest quality up to `quality` whose file
    // fits is written and returned. Formats without a quality, and a
    // maxBytes of 0, are saved as SaveToFileEx saves them (and give 0). Too
    // large a file even at quality 1 fails, and nothing is written.
    int32_t SaveWithinSize(const std::string& fileName, int32_t quality, int64_t maxBytes) const;
    // As SaveWithinSize, in the format already chosen for the file (its
    // name's format or, for a name of none, BMP data).
    int32_t SaveWithinSize(const std::string& fileName, FormatIndex format, int32_t quality, int64_t maxBytes) const;

    // What the file loaded last carries besides its pixels, and what a save
    // writes into the formats that hold it. Raster operations leave it alone.
    TPictureMetadata Metadata;

private:
    // The row that writes a file of the format; refuses a row without a
    // writer and an empty picture.
    const TFormatRow& RowToSave(FormatIndex format) const;
};

}  // namespace corvalin

// The one list of picture formats: one row per format index, saying how the
// picture object loads and saves files of that type.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/Probe.h"
#include "picture/RowSampling.h"

namespace corvalin {

class TBitmap;
struct TPictureMetadata;

// Reads a whole file's bytes into the picture, and into the fresh metadata
// the side data the format carries; a failure leaves the picture as it was.
// Returns how many pictures the file holds (frames of an animation, pages of
// a document); the picture takes the first.
using TLoadPath = size_t (*)(TBitmap& picture, std::span<const uint8_t> file,
                             TPictureMetadata& metadata);
// As TLoadPath, for a reader that can decode the rows a scaling samples
// alone: it asks `rows` once it knows the picture's size (see TRowRequest).
using TRowsLoadPath = size_t (*)(TBitmap& picture, std::span<const uint8_t> file,
                                 TPictureMetadata& metadata, const TRowRequest& rows);
// As TLoadPath, for a reader that can decode a picture reduced: it asks
// `reduction` once it knows the picture's size (see TReductionRequest).
using TReducedLoadPath = size_t (*)(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                                    const TReductionRequest& reduction);
// Writes the picture under the name, replacing the file atomically, with
// whatever of metadata the format can hold.
using TSavePath = void (*)(const TBitmap& picture, const std::string& fileName, int32_t quality,
                           const TPictureMetadata& metadata);

// Encodes the picture into memory at a quality of 1..100, with whatever of
// metadata the format can hold: the bytes its save would write.
using TEncodePath = std::vector<uint8_t> (*)(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata);

// An extension a format's reader answers to, with the description that the
// picture-open dialogs show for it.
struct TFormatAlias {
    std::string_view Extension;  // lower case, without the dot
    std::string_view Description;
};

// Whether a file's first bytes carry a format's signature.
using TSignatureTest = bool (*)(std::span<const uint8_t> file);

struct TFormatRow {
    // The format's key: the extension it is written under, the tick's and the
    // stored value's name (lower case, without the dot).
    std::string_view Extension;
    std::string_view Description;  // the format's name in messages
    // Every extension that names the format (the key first): a file search
    // for the key finds them all, and a file so named loads and saves as it.
    std::span<const std::string_view> Names;
    // Its MIME types, each followed by ";", as desktop entries list them.
    std::string_view MimeTypes;
    // Null: no signature strong enough to claim arbitrary files by.
    TSignatureTest HasSignature;
    TLoadPath Load;                // null: this build cannot read the format (yet)
    TRowsLoadPath LoadRows;        // null: the reader always decodes every row
    TReducedLoadPath LoadReduced;  // null: the reader always decodes at full size
    TSavePath Save;                // null: this build cannot write the format (yet)
    bool UsesQuality;              // the writer follows the Quality setting
    bool HoldsAlpha;               // reader and writer keep opacity
    bool HoldsSeveralPictures;     // a file may hold more than one picture
    // Every extension the row's reader is registered under (the row's own
    // among them); FormatIndexOf looks only at Extension.
    std::span<const TFormatAlias> Aliases;
    // Null: the format has no quality to lower, and a size limit does not
    // apply to it.
    TEncodePath Encode = nullptr;
    // Null: the reader turns CMYK into RGB by formula only. Else a load path
    // that brings a CMYK picture to sRGB through the CMYK profile it carries.
    TLoadPath LoadCmykToSrgb = nullptr;
    // The quality at which the writer stores the picture without loss; 0:
    // at none. A writer that does not follow the quality never loses.
    int32_t LosslessQuality = 0;
    // Null: a written file holds one picture. Else how many pictures the
    // writer puts into the file for the picture and its metadata (an icon
    // keeps its source's sizes).
    size_t (*PicturesWritten)(const TBitmap& picture, const TPictureMetadata& metadata) = nullptr;
    // Null: what a file holds is known only by decoding it (see ProbeThroughRow).
    TProbePath Probe = nullptr;
};

// Format index 1..kFormatCount names row index - 1; 0 stands for no row
// (read and written as BMP data). Indices never move: settings store them.
enum FormatIndex : uint8_t {
    fiUnknown = 0,
    fiBmp = 1,
    fiGif = 2,
    fiIco = 3,
    fiJpg = 4,
    fiPcd = 5,
    fiPsd = 6,
    fiPcx = 7,
    fiPng = 8,
    fiTif = 9,
    fiWmf = 10,
    fiWebp = 11,
    fiHeic = 12,
    fiAvif = 13,
    fiJxl = 14
};

inline constexpr int kFormatCount = fiJxl;
extern const std::array<TFormatRow, kFormatCount> FormatTable;

// Whether this build reads the format: rows whose library was missing at
// build time stay in the table (indices never move) but are not offered.
inline bool IsUsable(const TFormatRow& row)
{
    return row.Load != nullptr;
}

// The row of a format index 1..kFormatCount.
const TFormatRow& FormatRow(int formatIndex);
// The extension of a format index 1..kFormatCount, as a C string for the lists.
std::string FormatExtension(int formatIndex);

// The format index of a file name's extension: the text from the last "."
// when no "/" follows it, ASCII-lower-cased and compared exactly.
FormatIndex FormatIndexOf(const std::string& fileName);

// As FormatIndexOf, but also for the other names of a row (".jpeg" and
// ".jpe" are JPEG, ".tiff" is TIFF, ".heif" and ".hif" are HEIC).
FormatIndex FormatIndexOfName(const std::string& fileName);

// The readable format whose signature the file's first bytes carry (the
// first such row); 0 when they carry none that this build reads.
FormatIndex FormatIndexOfContent(std::span<const uint8_t> file);

// The row index of a format index: 0 (an extension of no row) reads and
// writes BMP data like row 1.
FormatIndex RowIndexOrBmp(FormatIndex formatIndex);

// The row that reads a file of that name's format index: the data decides
// over the name where it carries another readable format's signature (a PNG
// named .jpg, or BMP data that older runs saved as .pcx).
FormatIndex ReaderIndexOf(FormatIndex nameIndex, std::span<const uint8_t> file);

// The formats of one file's conversion, decided once and carried from its
// load to its naming and saving.
struct TFormatChoice {
    // The source name's format (FormatIndexOfName); fiUnknown: it names none.
    FormatIndex named = fiUnknown;
    // The result's format; fiUnknown: neither the settings nor the name chose one.
    FormatIndex target = fiUnknown;
    // The row that reads the source (ReaderIndexOf): set by the load, from
    // the file's content.
    FormatIndex reader = fiUnknown;
};

// The reader family's registration: the aliases of every row in table order,
// each with its format index. Throws EInvalidGraphic "Attempt to register %s
// twice." when two rows claim one extension.
struct TRegisteredExtension {
    TFormatAlias Alias;
    int FormatIndex;
};
std::vector<TRegisteredExtension> RegisteredExtensions();

}  // namespace corvalin

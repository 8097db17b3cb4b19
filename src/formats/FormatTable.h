// The one list of picture formats: one row per format index, saying how the
// picture object loads and saves files of that type.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

struct TFormatRow {
    std::string_view Extension;    // lower case, without the dot
    std::string_view Description;  // the format's name in messages
    TLoadPath Load;                // null: this build cannot read the format yet
    TRowsLoadPath LoadRows;        // null: the reader always decodes every row
    TSavePath Save;                // null: this build cannot write the format yet
    // Every extension the row's reader is registered under (the row's own
    // among them); FormatIndexOf looks only at Extension.
    std::span<const TFormatAlias> Aliases;
    // Null: the format has no quality to lower, and a size limit does not
    // apply to it.
    TEncodePath Encode = nullptr;
};

// Format index 1..10 names row index - 1; 0 stands for no row (read and
// written as BMP data).
enum FormatIndex : uint8_t {
    fiUnknown = 0, fiBmp = 1, fiGif = 2, fiIco = 3, fiJpg = 4, fiPcd = 5,
    fiPsd = 6, fiPcx = 7, fiPng = 8, fiTif = 9, fiWmf = 10
};

extern const std::array<TFormatRow, 10> FormatTable;
inline constexpr int kFormatCount = int(std::tuple_size_v<decltype(FormatTable)>);

// The row of a format index 1..kFormatCount.
const TFormatRow& FormatRow(int formatIndex);
// The extension of a format index 1..kFormatCount, as a C string for the lists.
std::string FormatExtension(int formatIndex);

// The format index of a file name's extension: the text from the last "."
// when no "/" follows it, ASCII-lower-cased and compared exactly.
uint8_t FormatIndexOf(const std::string& fileName);

// As FormatIndexOf, but also for the longer extensions that a three-letter
// mask finds (".jpeg" and ".jpe" are JPEG, ".tiff" is TIFF).
uint8_t FormatIndexOfName(const std::string& fileName);

// The readable format whose signature the file's first bytes carry; 0 when
// they carry none that this build reads.
uint8_t FormatIndexOfContent(std::span<const uint8_t> file);

// The reader family's registration: the aliases of every row in table order,
// each with its format index. Throws EInvalidGraphic "Attempt to register %s
// twice." when two rows claim one extension.
struct TRegisteredExtension {
    TFormatAlias Alias;
    int FormatIndex;
};
std::vector<TRegisteredExtension> RegisteredExtensions();

}  // namespace corvalin

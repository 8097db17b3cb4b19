// The conversion of one picture file, and the two file routines around it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/ConversionSettings.h"
#include "app/RunTargets.h"
#include "app/Session.h"
#include "formats/FormatTable.h"
#include "formats/metadata/PictureMetadata.h"
#include "overlay/Stamp.h"
#include "picture/Bitmap.h"

namespace corvalin {

// What a conversion did besides writing its file.
struct TConversionOutcome {
    bool Skipped = false;  // the target existed and was left alone ("skip")
    int32_t Quality = 0;   // the quality a size limit chose; 0: none applied
    // What the result line adds about the source: how many pictures it holds
    // when it holds several, and " (Quelle beschädigt)" when its picture had
    // to be completed.
    std::string SourceNote;
    int32_t Width = 0;  // of the picture written
    int32_t Height = 0;
    std::string Warning;           // a TFileReport warning code ("source-damaged"); empty for none
    bool OriginalTrashed = false;  // the original it replaced went to the trash first
};

// One file's conversion from its inputs alone, so that it can run on any
// thread: no front-end call inside. Uses TargetFormat, FitMode, Rotation,
// Width, Height, ColorDepth, Quality, SaveAsCopy, Metadata, Output and
// Directory (the searched folder, whose tree an output folder recreates) of
// settings. targets is the run's record of what it has written (safe to
// share between threads). When preview is not null it receives a copy of
// the finished picture before saving, also when the save then fails. With
// "skip" an existing target is left alone before the source is read; with
// "number" the result takes the first free numbered name. A result that
// would replace its source without converting in place is refused. With
// Output.Trash, an original that an in-place result replaces goes to the
// trash once the result is written, before it takes the name; one that
// cannot be trashed is not replaced, and the file fails with the reason.
// Otherwise as ConvertPicture.
TConversionOutcome ConvertFile(std::string& fileName, const TConversionSettings& settings,
                               const TOverlaySnapshot& overlay, TRunTargets& targets,
                               std::unique_ptr<TBitmap>* preview);

// Loads fileName, turns it, fits it, changes its colour depth, stamps the
// overlay text, shows the preview and saves it. Reads TextEnabled (from the
// front end), the session's overlay record and Preview at the moment they
// are used. On return fileName names the file written (or the one that was
// to be written when saving failed). Does nothing (no error, fileName
// unchanged) when the file does not exist or width or height is not > 0.
// Every other failure raises, also an empty picture or result (nothing is
// written then), a target that the session's run must not overwrite, and a
// source that would be replaced by less than it holds: its first picture of
// several, a picture completed from damaged data, the merged picture of a
// layered document, the picture alone of a file with auxiliary pictures
// (depth maps, thumbnails), bitmap data for a Photo CD file or a drawing, an
// opaque picture for one with transparent pixels, with colorDepth 0, 8-bit
// RGB for deeper samples or a CMYK or Lab colour model, and a lossy file for
// one stored without loss. A lossless source converted in place is written
// at the quality its writer loses nothing at; it stays as it is when its
// writer has none or the lossless file would exceed the size limit.
void ConvertPicture(TSession& session, std::string& fileName, int32_t targetFormat,
                    int32_t fitMode, int32_t rotation, int32_t width, int32_t height,
                    int32_t colorDepth, int32_t quality, bool saveAsCopy);

// Why a source may not be replaced in place by its converted picture,
// written by the format row's writer: the result would hold less than the
// file and the settings ask to keep. Empty when it may. `pictures` counts
// the pictures the file holds, `kept` those the writer puts into the
// result; `lostOpacity` says that the source had opacity the result lacks.
// A lossless source may be replaced when the writer can store without loss
// (the conversion then does).
std::string ReasonToKeepOriginal(const TSourceReport& source, size_t pictures, const TFormatRow& row, size_t kept,
                                 bool lostOpacity, int32_t colorDepth);

// Folder part (up to and including the last "/") + "Neu_" + name: the
// copy's name with the default prefix and no suffix.
std::string MakeCopyName(const std::string& fileName);

// Size in bytes measured with stat (never opened); 0 when no file of that
// name exists (a folder counts as none). Raises EInOutError when the path
// cannot be examined (e.g. a folder on the way without search permission).
int64_t GetFileSizeOf(const std::string& fileName);

struct TTargetSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The fit table: the target size of a (sw x sh) picture for fitMode 0..4
// and the requested width and height. Raises ERangeError for a side outside
// signed 32 bits and for an undefined fit mode.
TTargetSize FitTargetSize(int32_t fitMode, int32_t sourceWidth, int32_t sourceHeight,
                          int32_t width, int32_t height);

// Cuts towards zero; raises ERangeError outside signed 32 bits (or for NaN).
int32_t TruncToInt32(long double value);

// Name with its extension replaced by "." + the extension of formatIndex
// (appended when the name has none).
std::string ReplaceExtension(const std::string& fileName, FormatIndex formatIndex);

// The name to save under in format formatIndex: the name itself when its
// extension already names that format (in any case, or as ".jpeg", ".jpe",
// ".tiff"), otherwise ReplaceExtension.
std::string TargetName(const std::string& fileName, FormatIndex formatIndex);

}  // namespace corvalin

// The settings of a batch run as the main window's controls hold them, the
// texts of the lists those controls offer, and the rules that keep the
// dependent controls consistent with the choices.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/FormatTable.h"

namespace corvalin {

// Every file type this build reads is ticked until the user says otherwise;
// one it cannot read is never ticked.
std::array<bool, kFormatCount> DefaultFileTypes();

// What becomes of what a photograph carries besides its pixels.
struct TMetadataChoices {
    bool AutoOrient = true;  // "Nach EXIF-Ausrichtung drehen": stored sideways, shown upright
    bool Strip = false;      // "Metadaten entfernen": no Exif, XMP, IPTC or comment written
    bool KeepDate = false;   // "Dateidatum beibehalten": the result gets the source's times
    bool Srgb = false;       // "In sRGB umrechnen": colours from the source's profile to sRGB

    bool operator==(const TMetadataChoices&) const = default;
};

// What happens to a target that exists already.
enum TExistingTarget : int32_t { etReplace = 0, etSkip = 1, etNumber = 2 };

// Where the results go and what they are called.
struct TOutputChoices {
    std::string Folder;            // outdir, as typed; empty: beside each source
    std::string Prefix = "Neu_";   // prefix: a copy's name begins with it
    std::string Suffix;            // suffix: and its stem ends with it
    int32_t Existing = etReplace;  // exists: a TExistingTarget
    int32_t MaxKilobytes = 0;      // maxkb: the largest file a quality target may write; 0 none
    bool Trash = false;            // trash: a replaced original goes to the desktop's trash first

    bool operator==(const TOutputChoices&) const = default;
};

// How a picture is brought to its new size.
struct TScalingChoices {
    bool Smooth = false;      // "Glatt skalieren": Lanczos-3 instead of the nearest pixel
    bool ShrinkOnly = false;  // "Nie vergrößern": a picture keeps its size where the fit would enlarge it

    bool operator==(const TScalingChoices&) const = default;
};

// Index settings hold -1 when their control has no selected entry.
struct TConversionSettings {
    std::string Directory;            // edtDirectory, as typed
    bool SearchSubfolders = true;     // cbxSearchSubdirectories
    // Tick of each file type, indexed by format index - 1 (the format
    // table's order). The list shows the usable ones alphabetically;
    // FileTypeFormatIndex maps a list position to its format index.
    std::array<bool, kFormatCount> FileTypes = DefaultFileTypes();
    int32_t Width = 400;              // edtWidth, no bounds
    int32_t Height = 300;             // edtHeight, no bounds
    int32_t Quality = 85;             // edtQuality, 0..100
    int32_t FitMode = 2;              // rdbCalcType, 0..4 or -1
    int32_t Rotation = 0;             // rdbRotate, 0..3 or -1
    bool SaveAsCopy = true;           // cbxSaveAsCopy
    bool TextEnabled = false;         // cbxCopyright
    int32_t TargetFormat = 0;         // cboConvertFormat, 0..kFormatCount or -1
    int32_t ColorDepth = 0;           // cboColorDepth, 0..6 or -1
    TMetadataChoices Metadata;
    TOutputChoices Output;
    TScalingChoices Scaling;

    bool operator==(const TConversionSettings&) const = default;
};

// Captions of the radio groups and drop-down lists, in index order.
const std::vector<std::string>& FitModeEntries();      // "Keine Änderung", "Breite", ...
const std::vector<std::string>& RotationEntries();     // "Keine Änderung", "90°", ...
const std::vector<std::string>& ColorDepthEntries();   // 7 entries
// "Keine Änderung", then "Nach BMP konvertieren" and so on for every row in
// index order, so that an entry's position is its format index.
const std::vector<std::string>& TargetFormatEntries();
// The target-list position of an extension any row is named by (upper or
// lower case), or 0 for "keep"; nothing for another text or a format this
// build cannot write.
std::optional<int32_t> TargetFormatOfExtension(const std::string& extension);

// The file-type list: "*." + extension of every format this build reads,
// alphabetical (avif, bmp, gif, heic, ico, jpg, jxl, pcd, ...).
const std::vector<std::string>& FileTypeEntries();
// Format index (1..kFormatCount) of the file-type entry at a list position.
int FileTypeFormatIndex(int position);

// The three states of cbxMarkAll "Alle markieren".
enum class TCheckState { Unchecked, Checked, Grayed };

// What UpdateControls sets, computed from the settings without widgets.
struct TControlStates {
    TCheckState MarkAll = TCheckState::Checked;
    bool WidthVisible = true;      // otherwise labAutoWidth "auto" shows
    bool HeightVisible = true;     // otherwise labAutoHeight "auto" shows
    bool QualityEnabled = true;
    bool PreviewChecked = true;    // check mark of mniPreview
};

TControlStates ComputeControlStates(const TConversionSettings& settings, bool preview);

}  // namespace corvalin

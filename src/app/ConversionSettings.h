// The settings of a batch run as the main window's controls hold them, the
// texts of the lists those controls offer, and the rules that keep the
// dependent controls consistent with the choices.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/FormatTable.h"

namespace corvalin {

// What happens to a target that exists already.
enum TExistingTarget : int32_t { etReplace = 0, etSkip = 1, etNumber = 2 };

// Where the results go and what they are called.
struct TOutputChoices {
    std::string Folder;            // outdir, as typed; empty: beside each source
    std::string Prefix = "Neu_";   // prefix: a copy's name begins with it
    std::string Suffix;            // suffix: and its stem ends with it
    int32_t Existing = etReplace;  // exists: a TExistingTarget
    int32_t MaxKilobytes = 0;      // maxkb: the largest file a quality target may write; 0 none

    bool operator==(const TOutputChoices&) const = default;
};

// Index settings hold -1 when their control has no selected entry.
struct TConversionSettings {
    std::string Directory;            // edtDirectory, as typed
    bool SearchSubfolders = true;     // cbxSearchSubdirectories
    // Tick of each file type, indexed by format index - 1 (bmp, gif, ico,
    // jpg, pcd, psd, pcx, png, tif, wmf). The list shows them alphabetically;
    // FileTypeFormatIndex maps a list position to its format index.
    std::array<bool, kFormatCount> FileTypes{true, true, true, true, true,
                                             true, true, true, true, true};
    int32_t Width = 400;              // edtWidth, no bounds
    int32_t Height = 300;             // edtHeight, no bounds
    int32_t Quality = 85;             // edtQuality, 0..100
    int32_t FitMode = 2;              // rdbCalcType, 0..4 or -1
    int32_t Rotation = 0;             // rdbRotate, 0..3 or -1
    bool SaveAsCopy = true;           // cbxSaveAsCopy
    bool TextEnabled = false;         // cbxCopyright
    int32_t TargetFormat = 0;         // cboConvertFormat, 0..10 or -1
    int32_t ColorDepth = 0;           // cboColorDepth, 0..6 or -1
    TOutputChoices Output;

    bool operator==(const TConversionSettings&) const = default;
};

// Captions of the radio groups and drop-down lists, in index order.
const std::vector<std::string>& FitModeEntries();      // "Keine Änderung", "Breite", ...
const std::vector<std::string>& RotationEntries();     // "Keine Änderung", "90°", ...
const std::vector<std::string>& ColorDepthEntries();   // 7 entries
const std::vector<std::string>& TargetFormatEntries(); // "Keine Änderung", "Nach BMP konvertieren", ...

// The file-type list: "*." + extension, alphabetical (bmp, gif, ico, jpg,
// pcd, pcx, png, psd, tif, wmf).
const std::vector<std::string>& FileTypeEntries();
// Format index (1..10) of the file-type entry at a list position (0..9).
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

#include "app/ConversionSettings.h"

#include <algorithm>

#include "formats/FormatTable.h"

namespace corvalin {

std::array<bool, kFormatCount> DefaultFileTypes()
{
    std::array<bool, kFormatCount> ticks{};
    for (size_t i = 0; i < ticks.size(); ++i)
        ticks[i] = IsUsable(FormatTable[i]);
    return ticks;
}

const std::vector<std::string>& FitModeEntries()
{
    static const std::vector<std::string> entries = {"Keine Änderung", "Breite", "Höhe",
                                                     "Minimum", "Maximum"};
    return entries;
}

const std::vector<std::string>& RotationEntries()
{
    static const std::vector<std::string> entries = {"Keine Änderung", "90°", "180°", "270°"};
    return entries;
}

const std::vector<std::string>& ColorDepthEntries()
{
    static const std::vector<std::string> entries = {
        "Keine Änderung",    "1 Bit (Schwarz-Weiß)", "4 Bit (16 Farben)", "8 Bit (256 Farben)",
        "16 Bit (Foto)",     "24 Bit (Foto)",        "32 Bit (Foto)"};
    return entries;
}

const std::vector<std::string>& TargetFormatEntries()
{
    static const std::vector<std::string> entries = [] {
        std::vector<std::string> list = {"Keine Änderung"};
        for (const TFormatRow& row : FormatTable) {
            std::string upper(row.Extension);
            std::transform(upper.begin(), upper.end(), upper.begin(),
                           [](char c) { return char(c - 'a' + 'A'); });
            list.push_back("Nach " + upper + " konvertieren");
        }
        return list;
    }();
    return entries;
}

std::optional<int32_t> TargetFormatOfExtension(const std::string& extension)
{
    std::string lower = extension;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    if (lower == "keep")
        return 0;
    if (lower.empty() || lower.find_first_of("./") != std::string::npos)
        return std::nullopt;
    const FormatIndex index = FormatIndexOfName("." + lower);
    if (index == fiUnknown || FormatRow(index).Save == nullptr)
        return std::nullopt;
    return index;
}

namespace {

// Format indexes of the formats this build reads, in the list's
// alphabetical order of their masks.
const std::vector<int>& AlphabeticalFormatIndexes()
{
    static const std::vector<int> order = [] {
        std::vector<int> indexes;
        for (int i = 1; i <= kFormatCount; ++i)
            if (IsUsable(FormatRow(i)))
                indexes.push_back(i);
        std::sort(indexes.begin(), indexes.end(), [](int a, int b) {
            return FormatRow(a).Extension < FormatRow(b).Extension;
        });
        return indexes;
    }();
    return order;
}

}  // namespace

const std::vector<std::string>& FileTypeEntries()
{
    static const std::vector<std::string> entries = [] {
        std::vector<std::string> list;
        for (int index : AlphabeticalFormatIndexes())
            list.push_back("*." + FormatExtension(index));
        return list;
    }();
    return entries;
}

int FileTypeFormatIndex(int position)
{
    return AlphabeticalFormatIndexes().at(size_t(position));
}

namespace {

// Whether the chosen target, or with "Keine Änderung" any ticked type, is
// written by a writer that follows the Quality setting.
bool QualityMatters(const TConversionSettings& settings)
{
    if (settings.TargetFormat > 0 && settings.TargetFormat <= kFormatCount)
        return FormatRow(settings.TargetFormat).UsesQuality;
    if (settings.TargetFormat != 0)
        return false;
    for (size_t i = 0; i < settings.FileTypes.size(); ++i)
        if (settings.FileTypes[i] && FormatTable[i].UsesQuality)
            return true;
    return false;
}

}  // namespace

TControlStates ComputeControlStates(const TConversionSettings& settings, bool preview)
{
    TControlStates states;
    const auto ticked = std::count(settings.FileTypes.begin(), settings.FileTypes.end(), true);
    const auto listed = std::ssize(FileTypeEntries());
    states.MarkAll = ticked == 0        ? TCheckState::Unchecked
                     : ticked >= listed ? TCheckState::Checked
                                        : TCheckState::Grayed;
    states.WidthVisible = settings.FitMode != 0 && settings.FitMode != 2;
    states.HeightVisible = settings.FitMode != 0 && settings.FitMode != 1;
    states.QualityEnabled = QualityMatters(settings);
    states.PreviewChecked = preview;
    return states;
}

}  // namespace corvalin

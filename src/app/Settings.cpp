#include "app/Settings.h"

#include <algorithm>

#include "app/ConversionSettings.h"
#include "app/OutputNames.h"
#include "app/SettingsStore.h"
#include "common/Tools.h"
#include "formats/BitmapEx.h"

namespace corvalin {

namespace {

std::string WithTrailingSlash(const std::string& folder)
{
    // An empty folder text stays empty: "/" would name the root folder.
    return (folder.empty() || folder.back() == '/') ? folder : folder + "/";
}

// A radio group selects its last entry for a value beyond it and none for a
// negative value.
int32_t RadioSelection(int32_t value, int entryCount)
{
    if (value < 0)
        return -1;
    return value >= entryCount ? entryCount - 1 : value;
}

// A drop-down list loses its selection for a value that names no entry.
int32_t ListSelection(int32_t value, int entryCount)
{
    return (value >= 0 && value < entryCount) ? value : -1;
}

int32_t ClampQuality(int32_t value)
{
    return value < 0 ? 0 : value > 100 ? 100 : value;
}

// A stored value the switches would refuse reads as the default, as a
// malformed number does.
void ReadOutputChoices(const TSettingsStore& store, TOutputChoices& output)
{
    const TOutputChoices defaults;
    output.Folder = store.ReadString("outdir", defaults.Folder);
    output.Prefix = store.ReadString("prefix", defaults.Prefix);
    if (!IsNameText(output.Prefix))
        output.Prefix = defaults.Prefix;
    output.Suffix = store.ReadString("suffix", defaults.Suffix);
    if (!IsNameText(output.Suffix))
        output.Suffix = defaults.Suffix;
    output.Existing = store.ReadInteger("exists", defaults.Existing);
    if (output.Existing < etReplace || output.Existing > etNumber)
        output.Existing = defaults.Existing;
    output.MaxKilobytes = std::max(0, store.ReadInteger("maxkb", defaults.MaxKilobytes));
}

void ReadStore(const TSettingsStore& store, TConversionSettings& s, TSession& session)
{
    s.Directory = store.ReadString("path", s.Directory);
    s.SearchSubfolders = store.ReadBool("subfolder", true);
    s.Width = store.ReadInteger("width", 400);
    s.Height = store.ReadInteger("height", 300);
    s.Quality = ClampQuality(store.ReadInteger("quality", 85));
    s.FitMode = RadioSelection(store.ReadInteger("mode", 2), int(FitModeEntries().size()));
    s.Rotation = RadioSelection(store.ReadInteger("rotate", 0), int(RotationEntries().size()));
    s.SaveAsCopy = store.ReadBool("copy", true);
    s.TextEnabled = store.ReadBool("copyright", false);
    session.Preview = store.ReadBool("preview", true);
    session.Overlay.Text = store.ReadString("copyright_text", "Beispieltext");
    session.Overlay.Border = store.ReadInteger("copyright_border", 5);
    session.Overlay.Align = store.ReadInteger("copyright_align", kAlignBottomLeft);
    // Read, never written: a value the user put in the file stays there.
    session.MaxMemoryMegabytes = int(std::clamp<int64_t>(store.ReadInteger("maxmem", 0), 0, kMaxMemoryMegabytes));
    // A type this build cannot read stays unticked whatever the store says.
    const std::array<bool, kFormatCount> defaults = DefaultFileTypes();
    for (int index = 1; index <= kFormatCount; ++index)
        s.FileTypes[size_t(index - 1)] = defaults[size_t(index - 1)] && store.ReadBool(FormatExtension(index), true);
    s.TargetFormat = ListSelection(store.ReadInteger("convert", 0), int(TargetFormatEntries().size()));
    s.ColorDepth = ListSelection(store.ReadInteger("colordepth", 0), int(ColorDepthEntries().size()));
    s.Metadata.AutoOrient = store.ReadBool("autoorient", true);
    s.Metadata.Strip = store.ReadBool("strip", false);
    s.Metadata.KeepDate = store.ReadBool("keepdate", false);
    s.Metadata.Srgb = store.ReadBool("srgb", false);
    ReadOutputChoices(store, s.Output);
}

}  // namespace

void LoadSettings(TSession& session)
{
    LoadSettings(session, SettingsStorePath());
}

void LoadSettings(TSession& session, const std::string& storePath)
{
    TConversionSettings settings;
    settings.Directory = CurrentDirectory();
    // A store that cannot be read leaves every default in place; the lists
    // are built all the same, so the window always offers every choice.
    const TSettingsStore store = TSettingsStore::Open(storePath);
    if (store.Opened())
        ReadStore(store, settings, session);
    session.FrontEnd().SetFolderDialogFileName(WithTrailingSlash(settings.Directory) +
                                               "verzeichnis.dir");
    session.FrontEnd().ApplySettings(settings);
    UpdateControls(session);
}

void SaveSettings(TSession& session)
{
    SaveSettings(session, SettingsStorePath());
}

void SaveSettings(TSession& session, const std::string& storePath)
{
    // Values of other names already in the file are kept.
    TSettingsStore store = TSettingsStore::Open(storePath);
    if (!store.Opened())
        return;
    const TConversionSettings s = session.FrontEnd().CurrentSettings();
    store.WriteString("path", WithTrailingSlash(s.Directory));
    store.WriteBool("copyright", s.TextEnabled);
    store.WriteBool("subfolder", s.SearchSubfolders);
    store.WriteBool("copy", s.SaveAsCopy);
    store.WriteBool("preview", session.Preview);
    store.WriteInteger("width", s.Width);
    store.WriteInteger("height", s.Height);
    store.WriteInteger("quality", s.Quality);
    store.WriteInteger("mode", s.FitMode);
    store.WriteInteger("rotate", s.Rotation);
    store.WriteInteger("convert", s.TargetFormat);
    store.WriteInteger("colordepth", s.ColorDepth);
    store.WriteString("copyright_text", session.Overlay.Text);
    store.WriteInteger("copyright_border", session.Overlay.Border);
    store.WriteInteger("copyright_align", session.Overlay.Align);
    for (int index = 1; index <= kFormatCount; ++index)
        store.WriteBool(FormatExtension(index), s.FileTypes[size_t(index - 1)]);
    store.WriteBool("autoorient", s.Metadata.AutoOrient);
    store.WriteBool("strip", s.Metadata.Strip);
    store.WriteBool("keepdate", s.Metadata.KeepDate);
    store.WriteBool("srgb", s.Metadata.Srgb);
    store.WriteString("outdir", s.Output.Folder);
    store.WriteString("prefix", s.Output.Prefix);
    store.WriteString("suffix", s.Output.Suffix);
    store.WriteInteger("exists", s.Output.Existing);
    store.WriteInteger("maxkb", s.Output.MaxKilobytes);
    try {
        store.Save();
    } catch (const std::exception&) {
        // A store that cannot be written shows no message.
    }
}

void UpdateControls(TSession& session)
{
    TFrontEnd& frontEnd = session.FrontEnd();
    frontEnd.ShowControlStates(ComputeControlStates(frontEnd.CurrentSettings(), session.Preview));
}

}  // namespace corvalin

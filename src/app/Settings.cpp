#include "app/Settings.h"

#include <algorithm>

#include "app/ConversionSettings.h"
#include "app/OutputNames.h"
#include "app/SettingsStore.h"
#include "common/Tools.h"
#include "formats/BitmapEx.h"
#include "overlay/StampValues.h"

namespace corvalin {

namespace {

// What the store's "trash" means when it has none: the windows' default.
constexpr bool kTrashByDefault = true;

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

// The stamp's values beyond text, border and place. Numbers and colours are
// kept as stored; a run refuses one out of its range before it starts.
void ReadStamp(const TSettingsStore& store, TCopyrightText& overlay)
{
    TFont& font = overlay.ChosenFont;
    font.Name = store.ReadString("copyright_font", font.Name);
    // The size is the font's height in pixels; anything else keeps the
    // design size (a huge one would only stall every conversion).
    const int32_t size = store.ReadInteger("copyright_size", -font.Height);
    if (size > 0 && size <= kMaxStoredFontPixels)
        font.Height = -size;
    ApplyFontStyleFlags(font, store.ReadInteger("copyright_style", FontStyleFlags(font)));
    overlay.Color = store.ReadString("copyright_color", overlay.Color);
    font.Color = ParseColour(overlay.Color).value_or(font.Color);
    overlay.Box = store.ReadInteger("copyright_box", overlay.Box);
    overlay.BoxColor = store.ReadString("copyright_boxcolor", overlay.BoxColor);
    overlay.Opacity = store.ReadInteger("copyright_opacity", overlay.Opacity);
    overlay.RelativeSize = store.ReadInteger("copyright_relsize", overlay.RelativeSize);
    overlay.Logo = store.ReadString("copyright_logo", overlay.Logo);
    overlay.LogoSize = store.ReadInteger("copyright_logosize", overlay.LogoSize);
    overlay.LogoAlign = store.ReadInteger("copyright_logoalign", overlay.LogoAlign);
}

// A stamp value is written once it differs from its default or the store
// holds it: a store of a stamp as it always was stays as it was.
void WriteStampValue(TSettingsStore& store, const std::string& name, const std::string& value,
                     const std::string& fallback)
{
    if (value != fallback || store.Value(name))
        store.WriteString(name, value);
}

void WriteStamp(TSettingsStore& store, const TCopyrightText& overlay)
{
    const TCopyrightText defaults;
    const TFont& font = overlay.ChosenFont;
    auto size = [](const TFont& f) { return std::to_string(f.Height < 0 ? -int64_t(f.Height) : f.Height); };
    auto number = [](int32_t value) { return std::to_string(value); };
    WriteStampValue(store, "copyright_font", font.Name, defaults.ChosenFont.Name);
    WriteStampValue(store, "copyright_size", size(font), size(defaults.ChosenFont));
    WriteStampValue(store, "copyright_style", number(FontStyleFlags(font)), "0");
    WriteStampValue(store, "copyright_color", overlay.Color, defaults.Color);
    WriteStampValue(store, "copyright_box", number(overlay.Box), number(defaults.Box));
    WriteStampValue(store, "copyright_boxcolor", overlay.BoxColor, defaults.BoxColor);
    WriteStampValue(store, "copyright_opacity", number(overlay.Opacity), number(defaults.Opacity));
    WriteStampValue(store, "copyright_relsize", number(overlay.RelativeSize), number(defaults.RelativeSize));
    WriteStampValue(store, "copyright_logo", overlay.Logo, defaults.Logo);
    WriteStampValue(store, "copyright_logosize", number(overlay.LogoSize), number(defaults.LogoSize));
    WriteStampValue(store, "copyright_logoalign", number(overlay.LogoAlign), number(defaults.LogoAlign));
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
    // The windows trash replaced originals unless the user said otherwise.
    output.Trash = store.ReadBool("trash", kTrashByDefault);
}

// A side of 0 or less, which no switch accepts, would make every conversion
// do nothing: it reads as the default.
int32_t StoredSide(const TSettingsStore& store, const std::string& name, int32_t standard)
{
    const int32_t side = store.ReadInteger(name, standard);
    return side > 0 ? side : standard;
}

void ReadStore(const TSettingsStore& store, TConversionSettings& s, TSession& session)
{
    s.Directory = store.ReadString("path", s.Directory);
    s.SearchSubfolders = store.ReadBool("subfolder", true);
    s.Width = StoredSide(store, "width", 400);
    s.Height = StoredSide(store, "height", 300);
    s.Quality = ClampQuality(store.ReadInteger("quality", 85));
    s.FitMode = RadioSelection(store.ReadInteger("mode", 2), int(FitModeEntries().size()));
    s.Rotation = RadioSelection(store.ReadInteger("rotate", 0), int(RotationEntries().size()));
    s.SaveAsCopy = store.ReadBool("copy", true);
    s.TextEnabled = store.ReadBool("copyright", false);
    session.Preview = store.ReadBool("preview", true);
    session.Overlay.Text = store.ReadString("copyright_text", "Beispieltext");
    session.Overlay.Border = store.ReadInteger("copyright_border", 5);
    session.Overlay.Align = store.ReadInteger("copyright_align", kAlignBottomLeft);
    ReadStamp(store, session.Overlay);
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
    s.Scaling.Smooth = store.ReadBool("smooth", false);
    s.Scaling.ShrinkOnly = store.ReadBool("shrinkonly", false);
}

}  // namespace

void LoadSettings(TSession& session)
{
    LoadSettings(session, SettingsStorePath());
}

void LoadSettings(TSession& session, const std::string& storePath)
{
    LoadSettings(session, storePath, CurrentDirectory());
}

void LoadSettings(TSession& session, const std::string& storePath, const std::string& firstFolder)
{
    TConversionSettings settings;
    settings.Directory = firstFolder;
    // A store that cannot be read leaves every default in place; the lists
    // are built all the same, so the window always offers every choice.
    const TSettingsStore store = TSettingsStore::Open(storePath);
    if (store.Opened()) {
        ReadStore(store, settings, session);
        session.AskBeforeReplacing = store.ReadBool("askreplace", true);
    }
    session.FrontEnd().SetFolderDialogFileName(WithTrailingSlash(settings.Directory) +
                                               "verzeichnis.dir");
    session.FrontEnd().ApplySettings(settings);
    UpdateControls(session);
}

void ApplyStoredSettings(TSession& session, const TSettingsStore& store)
{
    // A stamp value at its default is not written (WriteStamp): what the
    // store leaves out is the default, not the value in use now.
    const TCopyrightText defaults;
    TCopyrightText& overlay = session.Overlay;
    overlay.ChosenFont = defaults.ChosenFont;
    overlay.Color = defaults.Color;
    overlay.Box = defaults.Box;
    overlay.BoxColor = defaults.BoxColor;
    overlay.Opacity = defaults.Opacity;
    overlay.RelativeSize = defaults.RelativeSize;
    overlay.Logo = defaults.Logo;
    overlay.LogoSize = defaults.LogoSize;
    overlay.LogoAlign = defaults.LogoAlign;
    TConversionSettings settings;
    settings.Directory = session.FrontEnd().CurrentSettings().Directory;
    ReadStore(store, settings, session);
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
    store.WriteString("path", WithTrailingSlash(session.FrontEnd().CurrentSettings().Directory));
    WriteSettings(session, store);
    // Written once the question was turned off, so that the store of a user
    // who never did stays as it was.
    if (!session.AskBeforeReplacing || store.Value("askreplace"))
        store.WriteBool("askreplace", session.AskBeforeReplacing);
    try {
        store.Save();
    } catch (const std::exception&) {
        // A store that cannot be written shows no message.
    }
}

void WriteSettings(TSession& session, TSettingsStore& store)
{
    const TConversionSettings s = session.FrontEnd().CurrentSettings();
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
    WriteStamp(store, session.Overlay);
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
    // Written once it differs from the windows' default, so that a store
    // that never had it stays as it was.
    if (s.Output.Trash != kTrashByDefault || store.Value("trash"))
        store.WriteBool("trash", s.Output.Trash);
    store.WriteBool("smooth", s.Scaling.Smooth);
    store.WriteBool("shrinkonly", s.Scaling.ShrinkOnly);
}

void UpdateControls(TSession& session)
{
    TFrontEnd& frontEnd = session.FrontEnd();
    frontEnd.ShowControlStates(ComputeControlStates(frontEnd.CurrentSettings(), session.Preview));
}

}  // namespace corvalin

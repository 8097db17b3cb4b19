#include "app/CommandLine.h"

#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string_view>

#include "app/BatchRun.h"
#include "app/ConversionSettings.h"
#include "app/OpenWith.h"
#include "app/OutputNames.h"
#include "app/Presets.h"
#include "app/OptionValues.h"
#include "app/SettingsStore.h"
#include "common/Exceptions.h"
#include "common/Tools.h"
#include "overlay/StampValues.h"

namespace corvalin {

namespace {

std::string WithoutQuotationMarks(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
    return text;
}

// Where the value begins: behind the switch's name and one separator
// character, which may take several bytes in UTF-8 (the name itself is ASCII).
size_t ValuePosition(const std::string& parameter, const std::string& switchName)
{
    size_t position = switchName.size();
    if (position >= parameter.size())
        return position + 1;
    ++position;
    while (position < parameter.size() && (static_cast<unsigned char>(parameter[position]) & 0xC0) == 0x80)
        ++position;
    return position;
}

// The number switches ignore a number outside their range, as they always
// have; a value that is no number at all is a typo and refused.
int32_t ReadRangeSwitch(const std::string& parameter, const std::string& switchName, int32_t minimum, int32_t maximum,
                        int32_t current)
{
    const std::string value = ReadTextSwitch(parameter, switchName);
    if (!IsWholeNumberText(value))
        throw EConvertError("\"" + value + "\" ist keine Zahl für " + switchName);
    return ReadNumberSwitch(parameter, switchName, minimum, maximum, current);
}

// The index switches count their control's entries from 1.
int32_t ReadIndexSwitch(const std::string& parameter, const std::string& switchName,
                        int32_t entries, int32_t currentIndex)
{
    return ReadRangeSwitch(parameter, switchName, 1, entries, currentIndex + 1) - 1;
}

// Whether anything has this name: a file or folder named in the command
// line is a path, never a switch.
bool NamesExistingPath(const std::string& argument)
{
    struct stat info {};
    return ::stat(argument.c_str(), &info) == 0;
}

constexpr const char* kSwitchNames[] = {
    "/auto",   "/recursiv", "/copy",   "/dir",     "/height",   "/width",   "/quality",
    "/adapt",  "/rotate",   "/format", "/colors",  "/text",     "/threads", "/autoorient",
    "/strip",  "/keepdate", "/maxmem", "/target",  "/out",      "/prefix",  "/suffix",
    "/exists", "/maxkb",    "/srgb",   "/textpos", "/textsize", "/opacity", "/logo",
    "/smooth", "/shrinkonly", "/preset", "/trash",
};

// A parameter is read as the longest switch name it begins with, so that
// "/autoorient=0" is never "/auto"; empty when it begins with none.
std::string SwitchOf(const std::string& parameter)
{
    std::string found;
    for (const char* name : kSwitchNames)
        if (StartsWithText(parameter, name) && std::string_view(name).size() > found.size())
            found = name;
    return found;
}

// A stamp number out of its range is refused rather than ignored: the run
// would otherwise stamp every picture other than asked.
int32_t ReadRangeSwitch(const std::string& parameter, const std::string& switchName, int32_t minimum, int32_t maximum)
{
    return NumberValue(ReadTextSwitch(parameter, switchName), switchName, minimum, maximum);
}

// The stamp's switches; a logo ticks "Text einfügen" as a text does.
void ApplyStampSwitch(const std::string& p, const std::string& name, TCopyrightText& overlay, TConversionSettings& s)
{
    if (name == "/text")
        overlay.Text = ReadTextSwitch(p, name);
    if (name == "/logo") {
        // Named from the folder the program was started in, as the folder switch is.
        const std::string logo = ReadTextSwitch(p, name);
        overlay.Logo = logo.empty() ? logo : std::filesystem::absolute(logo).string();
    }
    if (name == "/text" || name == "/logo")
        s.TextEnabled = !overlay.Text.empty() || !overlay.Logo.empty();
    if (name == "/textpos")
        overlay.Align = *KeypadAlign(ReadRangeSwitch(p, name, 1, 9));
    if (name == "/textsize")
        overlay.RelativeSize = ReadRangeSwitch(p, name, 0, kMaxRelativeSize);
    if (name == "/opacity")
        overlay.Opacity = ReadRangeSwitch(p, name, kMinOpacity, kMaxOpacity);
}

void ApplyMetadataSwitch(const std::string& p, const std::string& name, TMetadataChoices& choices)
{
    if (name == "/autoorient")
        choices.AutoOrient = ReadFlagSwitch(p, name);
    if (name == "/strip")
        choices.Strip = ReadFlagSwitch(p, name);
    if (name == "/keepdate")
        choices.KeepDate = ReadFlagSwitch(p, name);
    if (name == "/srgb")
        choices.Srgb = ReadFlagSwitch(p, name);
}

void ApplyOutputSwitch(const std::string& p, const std::string& name, TOutputChoices& output)
{
    if (name == "/out")
        output.Folder = ReadTextSwitch(p, "/out");
    if (name == "/prefix")
        output.Prefix = NameTextValue(ReadTextSwitch(p, "/prefix"));
    if (name == "/suffix")
        output.Suffix = NameTextValue(ReadTextSwitch(p, "/suffix"));
    if (name == "/exists")
        output.Existing = ExistingTargetValue(ReadTextSwitch(p, "/exists"), "/exists");
    if (name == "/maxkb")
        output.MaxKilobytes = KilobyteValue(ReadTextSwitch(p, "/maxkb"), "/maxkb");
    if (name == "/trash")
        output.Trash = ReadFlagSwitch(p, "/trash");
}

// What the switches said about the run beyond the settings they set.
struct TSwitchesGiven {
    bool Copy = false;   // "/copy" was given
    bool Trash = false;  // "/trash" was given
    std::string Preset;  // the preset loaded, if any
};

std::string AsciiUpper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
    return text;
}

// The first line of an automatic run that replaces originals, saying so and
// where "copy=0" came from; empty for a run that replaces none.
std::string ReplacingLine(const TConversionSettings& settings, const TSwitchesGiven& given)
{
    if (!ConvertsInPlace(settings))
        return "";
    const std::string origin = given.Copy              ? "(/copy=0)"
                               : !given.Preset.empty() ? "(copy=0 aus der Voreinstellung \"" + given.Preset + "\")"
                                                       : "(copy=0 aus den gespeicherten Einstellungen)";
    // A new format writes beside the sources: only those already in it are replaced.
    const std::string which =
        settings.TargetFormat > 0 && settings.TargetFormat <= kFormatCount
            ? "Originale im Format " + AsciiUpper(FormatExtension(settings.TargetFormat)) + " werden ersetzt "
            : "Originale werden ersetzt ";
    return which + origin + (settings.Output.Trash ? "; sie kommen zuerst in den Papierkorb" : "");
}

// An automatic run is a script's: replaced originals go to the trash only
// when "/trash=1" says so, whatever the windows' setting. That setting is
// kept as it was for the windows.
void RunAutomatically(TSession& session, const TSwitchesGiven& given)
{
    TFrontEnd& frontEnd = session.FrontEnd();
    const TConversionSettings chosen = frontEnd.CurrentSettings();
    TConversionSettings run = chosen;
    if (!given.Trash)
        run.Output.Trash = false;
    if (!(run == chosen))
        frontEnd.ApplySettings(run);
    frontEnd.HideMainWindow();
    btnConvertClick(session, ReplacingLine(run, given));
    if (!(run == chosen)) {
        TConversionSettings after = frontEnd.CurrentSettings();
        after.Output.Trash = chosen.Output.Trash;
        frontEnd.ApplySettings(after);
    }
}

void ApplyParameter(TSession& session, const std::string& p)
{
    TFrontEnd& frontEnd = session.FrontEnd();
    if (IsHelpSwitch(p)) {
        frontEnd.ShowHelp(HelpText());
        frontEnd.RequestQuit();
        return;
    }
    const std::string name = SwitchOf(p);
    // A mistyped switch ("/kopie=1") silently ignored could turn copies off.
    if (name.empty() && (p.starts_with('/') || p.starts_with('-')))
        throw EConvertError("Unbekannter Schalter");
    if (name == "/auto")
        session.AutoConvert = ReadFlagSwitch(p, "/auto");
    if (name == "/threads")
        session.Threads = ReadRangeSwitch(p, "/threads", 1, kMaxThreads, session.Threads);
    if (name == "/maxmem")
        session.MaxMemoryMegabytes = ReadRangeSwitch(p, "/maxmem", 1, kMaxMemoryMegabytes, session.MaxMemoryMegabytes);

    TConversionSettings s = frontEnd.CurrentSettings();
    if (name == "/recursiv")
        s.SearchSubfolders = ReadFlagSwitch(p, "/recursiv");
    if (name == "/copy")
        s.SaveAsCopy = ReadFlagSwitch(p, "/copy");
    if (name == "/dir")
        s.Directory = ReadTextSwitch(p, "/dir");
    if (name == "/height")
        s.Height = ReadRangeSwitch(p, "/height", 1, kMaxSideSwitch, s.Height);
    if (name == "/width")
        s.Width = ReadRangeSwitch(p, "/width", 1, kMaxSideSwitch, s.Width);
    if (name == "/quality")
        s.Quality = ReadRangeSwitch(p, "/quality", 1, 100, s.Quality);
    if (name == "/adapt")
        s.FitMode = ReadIndexSwitch(p, "/adapt", 5, s.FitMode);
    if (name == "/rotate")
        s.Rotation = ReadIndexSwitch(p, "/rotate", 4, s.Rotation);
    if (name == "/format")
        s.TargetFormat = ReadIndexSwitch(p, "/format", 8, s.TargetFormat);
    if (name == "/target")
        s.TargetFormat = TargetFormatValue(ReadTextSwitch(p, "/target"));
    if (name == "/colors")
        s.ColorDepth = ReadIndexSwitch(p, "/colors", 7, s.ColorDepth);
    ApplyStampSwitch(p, name, session.Overlay, s);
    ApplyMetadataSwitch(p, name, s.Metadata);
    ApplyOutputSwitch(p, name, s.Output);
    if (name == "/smooth")
        s.Scaling.Smooth = ReadFlagSwitch(p, name);
    if (name == "/shrinkonly")
        s.Scaling.ShrinkOnly = ReadFlagSwitch(p, name);
    if (!(s == frontEnd.CurrentSettings()))
        frontEnd.ApplySettings(s);
}

}  // namespace

bool IsHelpSwitch(const std::string& parameter)
{
    return StartsWithText(parameter, "/?") || StartsWithText(parameter, "-?") ||
           StartsWithText(parameter, "/help") || StartsWithText(parameter, "-help");
}

bool IsSwitch(const std::string& parameter)
{
    return IsHelpSwitch(parameter) || !SwitchOf(parameter).empty();
}

bool ReadFlagSwitch(const std::string& parameter, const std::string& switchName)
{
    // Only one character of the value used to count, so "/copy=true" and
    // "/copyright=1" turned copies off: any value but 0 and 1 is refused.
    const std::string value = ReadTextSwitch(parameter, switchName);
    if (value.empty() || value == "1")
        return true;
    if (value == "0")
        return false;
    throw EConvertError("\"" + value + "\" ist kein gültiger Wert für " + switchName);
}

std::string ReadTextSwitch(const std::string& parameter, const std::string& switchName)
{
    const size_t valuePosition = ValuePosition(parameter, switchName);
    if (parameter.size() <= valuePosition)
        return "";
    return parameter.substr(valuePosition);
}

int32_t ReadNumberSwitch(const std::string& parameter, const std::string& switchName,
                         int32_t minimum, int32_t maximum, int32_t current)
{
    const int32_t value = ParseInteger(ReadTextSwitch(parameter, switchName)).value_or(current);
    return (value < minimum || value > maximum) ? current : value;
}

std::string HelpText()
{
    static const char* const lines[] = {
        "/?\t\t\tHilfe",
        "/auto=[1|0]\t\tAutomatisch konvertieren",
        "/dir=\"/home/anna/Bilder\"\tVerzeichnis",
        "/recursiv=[1|0]\t\tUnterverzeichnisse durchsuchen",
        "/copy=[1|0]\t\tKopie erstellen",
        "/height=[Zahl]\t\tHöhe",
        "/width=[Zahl]\t\tBreite",
        "/quality=[1-100]\tQualität",
        "/adapt=[1-5]\t\tAnpassen an (Index des Eintrags)",
        "/rotate=[1-4]\t\tDrehen (Index des Eintrags)",
        "/format=[1-8]\t\tBildformat (Index des Eintrags)",
        "/colors=[1-7]\t\tFarbtiefe (Index des Eintrags)",
        "/target=[keep|jpg|png|...]\tZielformat (Dateiendung)",
        "/autoorient=[1|0]\tNach EXIF-Ausrichtung drehen",
        "/strip=[1|0]\t\tMetadaten entfernen",
        "/keepdate=[1|0]\t\tDateidatum beibehalten",
        "/smooth=[1|0]\t\tGlatt skalieren",
        "/shrinkonly=[1|0]\tNie vergrößern",
        "/srgb=[1|0]\t\tIn sRGB umrechnen",
        "/threads=[Zahl]\t\tGleichzeitig umgewandelte Bilder",
        "/maxmem=[MB]\t\tSpeicher für gleichzeitig umgewandelte Bilder",
        "/out=\"/home/anna/Ausgabe\"\tAusgabeverzeichnis",
        "/prefix=Neu_\t\tNamensvorsatz der Kopie",
        "/suffix=_klein\t\tNamenszusatz der Kopie",
        "/exists=[replace|skip|number]\tVorhandenes Ziel ersetzen, überspringen, nummerieren",
        "/maxkb=[Zahl]\t\tHöchstgröße in KB (Formate mit Qualität)",
        "/trash=[1|0]\t\tErsetzte Originale zuerst in den Papierkorb",
        "/textpos=[1-9]\t\tPosition des Textes (wie Ziffernblock, 3 = rechts unten)",
        "/textsize=[0-50]\tTexthöhe in Prozent der Bildhöhe (0 = Schriftgröße)",
        "/opacity=[1-100]\tDeckkraft von Text und Logo in Prozent",
        "/logo=\"Datei\"\t\tLogo (Bilddatei) einfügen",
        "/preset=Name\t\tVoreinstellung laden (vor allen anderen Schaltern)",
        "/text=\"(c) Hestrad\"\tCopyright-Text",
        "",
        "",
        "Beispiel:",
        "",
        "corvalin /auto=1 /dir=\"/home/anna/Bilder/Urlaub\" /recursiv=1 /copy=0 /adapt=4 /width=300",
    };
    std::string text = lines[0];
    for (size_t i = 1; i < std::size(lines); ++i)
        text += std::string("\r") + lines[i];
    return text;
}

void ParseCommandLine(TSession& session, const std::vector<std::string>& arguments)
{
    session.AutoConvert = false;
    session.ParameterRefused = false;
    TSwitchesGiven given;
    // A preset is the ground the other switches change, wherever it stands.
    for (const std::string& argument : arguments) {
        const std::string parameter = WithoutQuotationMarks(argument);
        if (SwitchOf(parameter) != "/preset")
            continue;
        given.Preset = ReadTextSwitch(parameter, "/preset");
        if (!LoadPreset(session, given.Preset))
            session.ParameterRefused = true;
    }
    for (const std::string& argument : arguments) {
        if (ApplyFolderToOpen(session, argument) || (!IsSwitch(argument) && NamesExistingPath(argument)))
            continue;
        const std::string parameter = WithoutQuotationMarks(argument);
        try {
            ApplyParameter(session, parameter);
            given.Copy = given.Copy || SwitchOf(parameter) == "/copy";
            given.Trash = given.Trash || SwitchOf(parameter) == "/trash";
        } catch (const std::exception&) {
            session.ParameterRefused = true;
            session.FrontEnd().ShowMessage("Ungültiger Kommandozeilenparameter \"" + parameter +
                                           "\"\r\r" + HelpText());
        }
    }
    // A refused switch may have meant "/copy=true": converting without it
    // could overwrite the originals.
    if (session.AutoConvert && !session.ParameterRefused)
        RunAutomatically(session, given);
}

}  // namespace corvalin

#include "app/GnuOptions.h"

#include <getopt.h>

#include <array>
#include <initializer_list>
#include <mutex>
#include <string_view>

#include "app/OptionValues.h"
#include "common/Const.h"
#include "common/Exceptions.h"
#include "common/Tools.h"
#include "formats/FormatTable.h"

namespace corvalin {

namespace {

enum TOptionId : int {
    oWidth = 256,
    oHeight,
    oFit,
    oRotate,
    oDepth,
    oTarget,
    oQuality,
    oInPlace,
    oRecursive,
    oTypes,
    oText,
    oSmooth,
    oShrinkOnly,
    oNoAutoOrient,
    oStrip,
    oKeepDate,
    oSrgb,
    oOut,
    oPrefix,
    oSuffix,
    oExists,
    oMaxKb,
    oTrash,
    oThreads,
    oFilesFrom,
    oPreset,
    oNull,
    oJson,
    oDryRun,
    oHelp,
    oVersion,
};

struct TOptionHelp {
    option Option;
    const char* Shown;  // the option as the help shows it
    const char* Text;
};

// One row per option: what getopt_long reads and what the help says.
const TOptionHelp kOptions[] = {
    {{"width", required_argument, nullptr, oWidth}, "--width=N", "Breite in Pixeln (Standard: 400)"},
    {{"height", required_argument, nullptr, oHeight}, "--height=N", "Höhe in Pixeln (Standard: 300)"},
    {{"fit", required_argument, nullptr, oFit},
     "--fit=none|width|height|min|max",
     "Anpassen an Breite, Höhe, Minimum oder Maximum (Standard: none)"},
    {{"rotate", required_argument, nullptr, oRotate}, "--rotate=0|90|180|270", "Im Uhrzeigersinn drehen"},
    {{"depth", required_argument, nullptr, oDepth}, "--depth=keep|1|4|8|16|24|32", "Farbtiefe in Bit"},
    {{"target", required_argument, nullptr, oTarget},
     "--target=keep|EXT",
     "Zielformat als Dateiendung (jpg, png, ...)"},
    {{"quality", required_argument, nullptr, oQuality}, "--quality=N", "Qualität 1-100 (Standard: 85)"},
    {{"in-place", no_argument, nullptr, oInPlace}, "--in-place", "Originale ersetzen statt Kopien anzulegen"},
    {{"recursive", no_argument, nullptr, oRecursive}, "--recursive", "Unterverzeichnisse durchsuchen"},
    {{"types", required_argument, nullptr, oTypes}, "--types=jpg,png,...", "Nur diese Dateitypen suchen"},
    {{"text", required_argument, nullptr, oText}, "--text=TEXT", "Copyright-Text"},
    {{"smooth", no_argument, nullptr, oSmooth}, "--smooth", "Glatt skalieren (Lanczos)"},
    {{"shrink-only", no_argument, nullptr, oShrinkOnly}, "--shrink-only", "Nie vergrößern"},
    {{"no-auto-orient", no_argument, nullptr, oNoAutoOrient}, "--no-auto-orient", "Nicht nach EXIF-Ausrichtung drehen"},
    {{"strip", no_argument, nullptr, oStrip}, "--strip", "Metadaten entfernen"},
    {{"keep-date", no_argument, nullptr, oKeepDate}, "--keep-date", "Dateidatum beibehalten"},
    {{"srgb", no_argument, nullptr, oSrgb}, "--srgb", "In sRGB umrechnen"},
    {{"out", required_argument, nullptr, oOut}, "--out=VERZEICHNIS", "Ausgabeverzeichnis"},
    {{"prefix", required_argument, nullptr, oPrefix}, "--prefix=TEXT", "Namensvorsatz der Kopie (Standard: Neu_)"},
    {{"suffix", required_argument, nullptr, oSuffix}, "--suffix=TEXT", "Namenszusatz der Kopie"},
    {{"exists", required_argument, nullptr, oExists},
     "--exists=replace|skip|number",
     "Vorhandenes Ziel ersetzen, überspringen, nummerieren"},
    {{"max-kb", required_argument, nullptr, oMaxKb}, "--max-kb=N", "Höchstgröße in KB (Formate mit Qualität)"},
    {{"trash", no_argument, nullptr, oTrash}, "--trash", "Ersetzte Originale zuerst in den Papierkorb"},
    {{"threads", required_argument, nullptr, oThreads},
     "--threads=N",
     "Gleichzeitig umgewandelte Bilder (Standard: alle Kerne)"},
    {{"files-from", required_argument, nullptr, oFilesFrom},
     "--files-from=DATEI",
     "Namen aus DATEI lesen, einen je Zeile (-: Standardeingabe)"},
    {{"preset", required_argument, nullptr, oPreset},
     "--preset=NAME",
     "Gespeicherte Voreinstellung, die die übrigen Optionen ändern"},
    {{"null", no_argument, nullptr, oNull}, "--null", "Namen der Liste enden mit NUL (find -print0)"},
    {{"json", no_argument, nullptr, oJson}, "--json", "Ergebnisse als JSON Lines auf die Standardausgabe"},
    {{"dry-run", no_argument, nullptr, oDryRun}, "--dry-run", "Nur die Ziele nennen, nichts schreiben"},
    {{"help", no_argument, nullptr, oHelp}, "--help", "Diese Hilfe"},
    {{"version", no_argument, nullptr, oVersion}, "--version", "Version"},
};

// A value out of a fixed set of words (in any case): its position.
int32_t WordValue(const std::string& value, const std::string& option, std::initializer_list<const char*> words)
{
    int32_t position = 0;
    for (const char* word : words) {
        if (value.size() == std::string_view(word).size() && StartsWithText(value, word))
            return position;
        ++position;
    }
    throw EConvertError("\"" + value + "\" ist kein gültiger Wert für " + option);
}

// "jpg,png": the file types searched in the folders given, each by any
// extension of a format this build reads.
std::array<bool, kFormatCount> TypesValue(const std::string& value)
{
    const std::array<bool, kFormatCount> readable = DefaultFileTypes();
    std::array<bool, kFormatCount> types{};
    size_t start = 0;
    while (start <= value.size()) {
        const size_t comma = std::min(value.find(',', start), value.size());
        const std::string extension = value.substr(start, comma - start);
        const bool plain = !extension.empty() && extension.find_first_of("./") == std::string::npos;
        const FormatIndex format = plain ? FormatIndexOfName("x." + extension) : fiUnknown;
        if (format == fiUnknown || !readable[size_t(format - 1)])
            throw EConvertError("\"" + extension + "\" ist kein lesbarer Dateityp");
        types[size_t(format - 1)] = true;
        start = comma + 1;
    }
    return types;
}

void ApplyOption(int id, const std::string& value, TScriptOptions& options)
{
    TConversionSettings& s = options.Settings;
    switch (id) {
    case oWidth: s.Width = NumberValue(value, "--width", 1, kMaxSideSwitch); break;
    case oHeight: s.Height = NumberValue(value, "--height", 1, kMaxSideSwitch); break;
    case oFit: s.FitMode = WordValue(value, "--fit", {"none", "width", "height", "min", "max"}); break;
    case oRotate: s.Rotation = WordValue(value, "--rotate", {"0", "90", "180", "270"}); break;
    case oDepth: s.ColorDepth = WordValue(value, "--depth", {"keep", "1", "4", "8", "16", "24", "32"}); break;
    case oTarget: s.TargetFormat = TargetFormatValue(value); break;
    case oQuality: s.Quality = NumberValue(value, "--quality", 1, 100); break;
    case oInPlace: s.SaveAsCopy = false; break;
    case oRecursive: s.SearchSubfolders = true; break;
    case oTypes: s.FileTypes = TypesValue(value); break;
    case oText:
        options.Text = value;
        s.TextEnabled = !value.empty();
        break;
    case oSmooth: s.Scaling.Smooth = true; break;
    case oShrinkOnly: s.Scaling.ShrinkOnly = true; break;
    case oNoAutoOrient: s.Metadata.AutoOrient = false; break;
    case oStrip: s.Metadata.Strip = true; break;
    case oKeepDate: s.Metadata.KeepDate = true; break;
    case oSrgb: s.Metadata.Srgb = true; break;
    case oOut: s.Output.Folder = value; break;
    case oPrefix: s.Output.Prefix = NameTextValue(value); break;
    case oSuffix: s.Output.Suffix = NameTextValue(value); break;
    case oExists: s.Output.Existing = ExistingTargetValue(value, "--exists"); break;
    case oMaxKb: s.Output.MaxKilobytes = KilobyteValue(value, "--max-kb"); break;
    case oTrash: s.Output.Trash = true; break;
    case oThreads: options.Threads = NumberValue(value, "--threads", 1, kMaxThreads); break;
    case oFilesFrom: options.FilesFrom = value; break;
    case oPreset: options.Preset = value; break;
    case oNull: options.Null = true; break;
    case oJson: options.Json = true; break;
    case oDryRun: options.DryRun = true; break;
    case oHelp: options.Help = true; break;
    case oVersion: options.Version = true; break;
    default: break;
    }
}

// getopt_long keeps its place in globals.
std::mutex gOptionParser;

}  // namespace

TConversionSettings TScriptOptions::ScriptDefaults()
{
    TConversionSettings settings;
    settings.SearchSubfolders = false;
    settings.FitMode = 0;
    settings.Rotation = 0;
    settings.ColorDepth = 0;
    settings.TargetFormat = 0;
    settings.Quality = 85;
    settings.SaveAsCopy = true;
    settings.TextEnabled = false;
    return settings;
}

bool UsesLongOptions(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments)
        if (argument.starts_with("--"))
            return true;
    return false;
}

TScriptOptions ParseLongOptions(const std::vector<std::string>& arguments, const TConversionSettings& base)
{
    std::vector<option> table;
    for (const TOptionHelp& row : kOptions)
        table.push_back(row.Option);
    table.push_back({nullptr, 0, nullptr, 0});
    std::vector<std::string> texts{"corvalin"};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    const std::lock_guard lock(gOptionParser);
    optind = 0;  // glibc: start afresh
    opterr = 0;  // the refusal says it in German
    TScriptOptions options;
    options.Settings = base;
    int id = 0;
    while ((id = getopt_long(int(texts.size()), argv.data(), ":h", table.data(), nullptr)) != -1) {
        // "--width=abc" is one argument, "--width abc" two.
        std::string given = argv[size_t(optind - 1)];
        if (optarg != nullptr && optind >= 2 && optarg == argv[size_t(optind - 1)])
            given = std::string(argv[size_t(optind - 2)]) + " " + optarg;
        if (id == '?')
            throw ERefusedOption(optopt != 0 && !given.starts_with("--") ? std::string("-") + char(optopt) : given,
                                 "Unbekannte Option");
        if (id == ':')
            throw ERefusedOption(given, "Der Option fehlt ihr Wert");
        if (id == 'h')
            id = oHelp;
        try {
            ApplyOption(id, optarg != nullptr ? optarg : "", options);
        } catch (const EConvertError& error) {
            throw ERefusedOption(given, error.what());
        }
    }
    for (size_t index = size_t(optind); index < texts.size(); ++index)
        options.Names.push_back(argv[index]);
    return options;
}

std::string LongOptionsHelp()
{
    std::string text = "Aufruf: corvalin [OPTION]... [DATEI|VERZEICHNIS]...\n";
    for (const TOptionHelp& row : kOptions) {
        const std::string shown = row.Shown;
        text += "  " + shown + std::string(shown.size() < 30 ? 30 - shown.size() : 1, ' ') + row.Text + "\n";
    }
    text += "Verzeichnisse werden nach allen Dateitypen durchsucht, Dateien so umgewandelt, wie sie sind.\n";
    text += "Exit-Status: 0 alles umgewandelt, 1 Fehler bei einzelnen Dateien, 2 ungültige Parameter.\n";
    text += "Die Schalter der Form /auto=1 zeigt \"corvalin /?\".\n";
    return text;
}

}  // namespace corvalin

#include "app/ResultPlacement.h"

#include <set>

#include "app/BatchRun.h"
#include "app/ConvertPicture.h"
#include "app/OutputNames.h"
#include "app/RunTargets.h"
#include "common/Exceptions.h"
#include "common/Tools.h"

namespace corvalin {

namespace {

std::string Count(int number, const char* one, const char* many)
{
    return InsertThousandSeparators(std::to_string(number)) + " " + (number == 1 ? one : many);
}

// „Neu_“, „_klein“ or „Neu_…_klein“: how a copy's name differs from its
// source's; empty when it does not.
std::string NameMark(const TOutputChoices& output)
{
    if (output.Prefix.empty() && output.Suffix.empty())
        return "";
    if (output.Suffix.empty())
        return "„" + output.Prefix + "“";
    if (output.Prefix.empty())
        return "„" + output.Suffix + "“";
    return "„" + output.Prefix + "…" + output.Suffix + "“";
}

std::string ShownFolder(const std::string& folder, const std::string& home)
{
    std::string shown = folder;
    while (shown.size() > 1 && shown.back() == '/')
        shown.pop_back();
    const std::string root = home.empty() || home.back() != '/' ? home : home.substr(0, home.size() - 1);
    if (!root.empty() && (shown == root || shown.starts_with(root + "/")))
        return "~" + shown.substr(root.size());
    return shown;
}

std::string Names(const TConversionSettings& settings)
{
    const std::string mark = settings.SaveAsCopy ? NameMark(settings.Output) : "";
    return mark.empty() ? "Kopien unter gleichem Namen" : "Kopien mit " + mark;
}

}  // namespace

std::string ResultPlacementLine(const TConversionSettings& settings, const std::string& home)
{
    if (!ResultsBesideSources(settings)) {
        const std::string tree = settings.SearchSubfolders ? ", Unterverzeichnisse wie im Original" : "";
        return "Ergebnisse: " + Names(settings) + " in " + ShownFolder(settings.Output.Folder, home) + tree;
    }
    if (settings.SaveAsCopy && !NameMark(settings.Output).empty())
        return "Ergebnisse: " + Names(settings) + " im selben Verzeichnis";
    // Copies under the source's own name: only a format change can keep them apart.
    if (settings.SaveAsCopy)
        return "Ergebnisse: Kopien ohne Namensvorsatz im selben Verzeichnis, nur mit anderem Zielformat";
    std::string line = "Originale werden ersetzt";
    if (settings.Output.Trash)
        line += " (die alten in den Papierkorb)";
    if (settings.TargetFormat != 0)
        line += "; mit anderem Format bleiben sie neben den Ergebnissen";
    return line;
}

TReplacementCount CountReplacements(const TSession& session, const TConversionSettings& settings,
                                    const std::vector<std::string>& sources)
{
    TReplacementCount count;
    std::set<std::string> overwritten;
    for (const std::string& source : sources) {
        const TConversionSettings own = SettingsForSource(session, settings, source);
        const TFormatChoice formats = ChooseFormats(source, own);
        if (formats.target == fiUnknown)
            continue;  // the run fails this file before writing anything
        std::string target;
        try {
            target = TargetName(KeptName(source, own), formats.target);
        } catch (const EConvertError&) {
            continue;  // a name text the run refuses as a whole
        }
        const std::string identity = FileIdentity(target);
        if (identity == FileIdentity(source)) {
            count.originals += ConvertsInPlace(own) ? 1 : 0;
        } else if (own.Output.Existing == etReplace && NameTaken(target) && overwritten.insert(identity).second) {
            ++count.earlier;
        }
    }
    return count;
}

std::string ReplacementQuestion(const TReplacementCount& count, bool trash)
{
    std::string text;
    if (count.originals > 0)
        text += Count(count.originals, "Original wird", "Originale werden") + " ersetzt." +
                (trash ? " Ersetzte Originale kommen in den Papierkorb.\r"
                       : " Ersetzte Originale lassen sich nicht zurückholen.\r");
    if (count.earlier > 0)
        text += Count(count.earlier, "vorhandene Datei wird", "vorhandene Dateien werden") +
                " mit neuen Ergebnissen überschrieben.\r";
    return text + "Fortfahren?";
}

}  // namespace corvalin

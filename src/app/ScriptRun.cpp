#include "app/ScriptRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <set>

#include "app/BatchRun.h"
#include "app/ConsoleFrontEnd.h"
#include "app/ConvertPicture.h"
#include "app/GnuOptions.h"
#include "app/JsonFrontEnd.h"
#include "app/OutputNames.h"
#include "app/PictureSearch.h"
#include "app/Presets.h"
#include "app/RunTargets.h"
#include "app/TerminalText.h"
#include "common/Exceptions.h"

namespace corvalin {

namespace {

constexpr int kRefused = 2;

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// How long a list of names may be: far more than any batch names, and
// little enough that the names and what the run keeps for each fit.
constexpr size_t kMaxListBytes = size_t(64) << 20;
constexpr size_t kMaxListNames = 1000000;

// What became of reading a list of names.
struct TReadList {
    std::optional<std::string> text;  // none: see refusal
    std::string refusal;
};

std::string ListName(const std::string& name)
{
    return "Die Liste \"" + name + "\"";
}

std::string TooLong(const std::string& name)
{
    return ListName(name) + " ist zu lang (höchstens 64 MB und " + std::to_string(kMaxListNames) +
           " Namen); es wird nichts umgewandelt";
}

// Reads at most kMaxListBytes of the descriptor; none when it is longer or
// cannot be read.
TReadList ReadBounded(int fd, const std::string& name)
{
    std::string text;
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            return {std::move(text), ""};
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return {std::nullopt, ListName(name) + " kann nicht gelesen werden"};
        if (text.size() + size_t(got) > kMaxListBytes)
            return {std::nullopt, TooLong(name)};
        text.append(buffer, size_t(got));
    }
}

// The names SplitNameList finds, counted before any is made.
size_t NameCount(std::string_view list, bool nulSeparated)
{
    const char end = nulSeparated ? '\0' : '\n';
    size_t count = 0;
    for (size_t at = 0; at < list.size(); ++at)
        count += list[at] != end && (at + 1 == list.size() || list[at + 1] == end);
    return count;
}

// Standard input ("-") of any kind, a regular file or a pipe (as a shell's
// process substitution names one); a device is refused, as it could be
// read for ever. Opened without waiting, as opening a pipe alone would wait
// for a writer; the length is bounded for every kind.
TReadList ReadList(const std::string& name)
{
    if (name == "-")
        return ReadBounded(STDIN_FILENO, name);
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {std::nullopt, ListName(name) + " kann nicht gelesen werden"};
    struct stat info {};
    TReadList list;
    if (::fstat(fd, &info) != 0)
        list.refusal = ListName(name) + " kann nicht gelesen werden";
    else if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode))
        list.refusal = ListName(name) + " ist keine Datei; gelesen werden eine Datei, eine Pipe oder die "
                                        "Standardeingabe (-)";
    else if (uint64_t(info.st_size) > kMaxListBytes)
        list.refusal = TooLong(name);
    else if (::fcntl(fd, F_SETFL, O_RDONLY) != 0)
        list.refusal = ListName(name) + " kann nicht gelesen werden";
    else
        list = ReadBounded(fd, name);
    ::close(fd);
    return list;
}

// Every name to convert, in the order given: the files as they are, the
// folders searched for the ticked file types. Each found or named source
// appears once and remembers the folder its tree is kept below.
void CollectSources(TSession& session, const std::vector<std::string>& names)
{
    TFrontEnd& frontEnd = session.FrontEnd();
    std::vector<std::string> sources;
    const auto add = [&](const std::string& source, const std::string& base) {
        if (session.NamedSources.emplace(source, base).second)
            sources.push_back(source);
    };
    for (const std::string& name : names) {
        if (!IsFolder(name)) {
            add(name, "");
            continue;
        }
        const std::string folder = name.back() == '/' ? name : name + "/";
        TConversionSettings settings = frontEnd.CurrentSettings();
        settings.Directory = folder;
        frontEnd.ApplySettings(settings);
        frontEnd.ClearSelection();
        const std::vector<std::string>& masks = FileTypeEntries();
        for (int position = 0; position < int(masks.size()); ++position) {
            if (!settings.FileTypes[size_t(FileTypeFormatIndex(position) - 1)])
                continue;
            frontEnd.AddResultLine(SearchLine(folder, masks[size_t(position)]), "");
            SearchPictures(session, folder, masks[size_t(position)]);
        }
        for (int index = 0; index < frontEnd.SelectionCount(); ++index)
            add(frontEnd.SelectionEntry(index), folder);
    }
    // The same file named twice, or by two spellings, is converted once.
    std::set<std::string> identities;
    frontEnd.ClearSelection();
    for (const std::string& source : sources)
        if (identities.insert(FileIdentity(source)).second)
            frontEnd.AddSelection(source);
    frontEnd.TickAllSelection();
}

// The target a source's conversion would write, decided as the run
// decides it but without writing anything: an existing target is skipped
// or numbered as the run would, and a target that this run would already
// have written, or that is another source still waiting, fails with the
// run's reason. `targets` holds what the files before it would have written.
TFileReport PlannedTarget(TSession& session, TRunTargets& targets, const std::string& source)
{
    TFileReport report{source, "", TFileReport::Planned, "", 0, 0, 0, 0, ""};
    try {
        if (!IsFile(source))
            throw EInOutError("Die Datei \"" + source + "\" existiert nicht oder ist keine Datei");
        report.BytesBefore = GetFileSizeOf(source);
        const TConversionSettings settings = SettingsForSource(session, session.FrontEnd().CurrentSettings(), source);
        const std::string kept = KeptName(source, settings);
        const TFormatChoice formats = ChooseFormats(source, settings);
        report.Target = formats.target != fiUnknown ? TargetName(kept, formats.target) : kept;
        const bool ownSource = FileIdentity(report.Target) == FileIdentity(source);
        // The run finds a target an earlier file has written as it finds one
        // that was there before.
        if (settings.Output.Existing == etSkip && !ownSource &&
            (NameTaken(report.Target) || targets.WasWritten(report.Target))) {
            report.Status = TFileReport::Skipped;
            return report;
        }
        if (settings.Output.Existing == etNumber && !ownSource)
            report.Target = targets.ClaimFreeName(report.Target);
        else
            targets.CheckTarget(report.Target, source, CopiesBesideSources(settings));
        targets.Written(report.Target, source);
    } catch (const std::exception& error) {
        report.Status = TFileReport::Failed;
        report.Reason = ReasonOf(error);
    }
    return report;
}

std::string PlanLine(const TFileReport& report)
{
    if (report.Status == TFileReport::Failed)
        return report.Source + " konnte nicht konvertiert werden! " + report.Reason;
    const std::string line = report.Source + " -> " + report.Target;
    if (report.Status == TFileReport::Skipped)
        return line + " (übersprungen, Ziel vorhanden)";
    if (FileIdentity(report.Target) == FileIdentity(report.Source))
        return line + " (ersetzt das Original)";
    return NameTaken(report.Target) ? line + " (ersetzt die vorhandene Datei)" : line;
}

// Names every target as the run would, in the run's order, and writes
// nothing; settings the run would refuse are refused here too.
int DryRun(TSession& session)
{
    TFrontEnd& frontEnd = session.FrontEnd();
    std::vector<std::string> sources;
    for (int index = 0; index < frontEnd.SelectionCount(); ++index)
        sources.push_back(frontEnd.SelectionEntry(index));
    if (const std::optional<std::string> refusal = RunContradiction(session, frontEnd.CurrentSettings(), sources)) {
        frontEnd.ShowMessage(*refusal);
        return kRefused;
    }
    TRunTargets targets;
    targets.Start(sources);
    bool failed = false;
    for (const std::string& source : sources) {
        targets.Begin(source);
        const TFileReport report = PlannedTarget(session, targets, source);
        failed = failed || report.Status == TFileReport::Failed;
        frontEnd.AddResultLine(PlanLine(report), "");
        frontEnd.ReportFile(report);
    }
    targets.Finish();
    return failed ? EXIT_FAILURE : EXIT_SUCCESS;
}

int Run(TSession& session)
{
    session.AutoConvert = true;
    RunConversion(session);
    if (session.RunRefused)
        return kRefused;
    return session.LastRun.failed == 0 && !session.OutputFolderUnusable ? EXIT_SUCCESS : EXIT_FAILURE;
}

int RunWith(const std::vector<std::string>& arguments, const TScriptOptions& options, TConsoleFrontEnd& frontEnd,
            TJsonFrontEnd* json)
{
    std::vector<std::string> names = options.Names;
    if (!options.FilesFrom.empty()) {
        const TReadList list = ReadList(options.FilesFrom);
        if (!list.text) {
            frontEnd.ShowMessage(list.refusal);
            return kRefused;
        }
        if (NameCount(*list.text, options.Null) > kMaxListNames) {
            frontEnd.ShowMessage(TooLong(options.FilesFrom));
            return kRefused;
        }
        const std::vector<std::string> listed = SplitNameList(*list.text, options.Null);
        names.insert(names.end(), listed.begin(), listed.end());
    } else if (names.empty()) {
        frontEnd.ShowMessage("Keine Datei und kein Verzeichnis angegeben (Hilfe: corvalin --help)");
        return kRefused;
    }
    TSession session(frontEnd);
    if (::isatty(STDERR_FILENO) == 1)
        frontEnd.ShowProgressLine();
    TConversionSettings settings = options.Settings;
    if (!options.Preset.empty()) {
        // The preset is the ground the other options change: they are read
        // again over it.
        if (!LoadPreset(session, options.Preset))
            return kRefused;
        settings = ParseLongOptions(arguments, frontEnd.CurrentSettings()).Settings;
        // The preset's trash is the windows' choice; a script's run trashes
        // only with --trash.
        settings.Output.Trash = options.Settings.Output.Trash;
    }
    frontEnd.ApplySettings(settings);
    session.Threads = options.Threads;
    if (options.Preset.empty() || !options.Text.empty())
        session.Overlay.Text = options.Text;
    CollectSources(session, names);
    const int status = options.DryRun ? DryRun(session) : Run(session);
    if (json != nullptr)
        json->WriteTotals(options.DryRun);
    return status;
}

}  // namespace

std::vector<std::string> SplitNameList(const std::string& list, bool nulSeparated)
{
    const char end = nulSeparated ? '\0' : '\n';
    std::vector<std::string> names;
    size_t start = 0;
    while (start < list.size()) {
        const size_t stop = std::min(list.find(end, start), list.size());
        if (stop > start)
            names.push_back(list.substr(start, stop - start));
        start = stop + 1;
    }
    return names;
}

int RunScript(const std::vector<std::string>& arguments)
{
    TScriptOptions options;
    try {
        options = ParseLongOptions(arguments);
    } catch (const ERefusedOption& refused) {
        std::fprintf(stderr, "Ungültiger Kommandozeilenparameter \"%s\": %s\n(Hilfe: corvalin --help)\n",
                     TerminalText(refused.Parameter, TLineBreaks::Escaped).c_str(), refused.what());
        return kRefused;
    }
    if (options.Help) {
        std::fputs(LongOptionsHelp().c_str(), stdout);
        return std::fflush(stdout) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
    }
    if (options.Version) {
        std::printf("Corvalin %s\n", CORVALIN_VERSION);
        return std::fflush(stdout) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
    }
    if (options.Json) {
        TJsonFrontEnd frontEnd;
        return RunWith(arguments, options, frontEnd, &frontEnd);
    }
    TConsoleFrontEnd frontEnd;
    return RunWith(arguments, options, frontEnd, nullptr);
}

}  // namespace corvalin

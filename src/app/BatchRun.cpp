#include "app/BatchRun.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "app/ConvertPicture.h"
#include "app/FileWorkers.h"
#include "app/OutputNames.h"
#include "app/PictureSearch.h"
#include "app/WorkerCount.h"
#include "common/Exceptions.h"
#include "common/MemoryBudget.h"
#include "common/Tools.h"
#include "overlay/StampLogo.h"
#include "overlay/StampValues.h"

namespace corvalin {

namespace {

template <typename T>
void CheckedAdd(T& sum, T amount)
{
    if (__builtin_add_overflow(sum, amount, &sum))
        throw EIntOverflow(msg::IntOverflow);
}

std::string FileCountText(int32_t files)
{
    return InsertThousandSeparators(std::to_string(files));
}

void StartProgress(TSession& session)
{
    TFrontEnd& frontEnd = session.FrontEnd();
    frontEnd.ResetProgress();
    frontEnd.SetProgressMaximum(frontEnd.SelectionCount());
    frontEnd.SetProgressPreviewBox(session.Preview);
    frontEnd.SetProgressFile("");
    frontEnd.ShowProgress();
}

// The identities of the files a conversion with these settings may read or
// write: the source, the name it keeps and the name in the target format.
std::set<std::string> TouchedFiles(const std::string& path, const TConversionSettings& settings)
{
    std::set<std::string> names{FileIdentity(path)};
    std::string kept = path;
    try {
        kept = KeptName(path, settings);
    } catch (const EConvertError&) {
        return names;  // a name text the conversion refuses: it writes nothing
    }
    names.insert(FileIdentity(kept));
    if (const TFormatChoice formats = ChooseFormats(path, settings); formats.target != fiUnknown)
        names.insert(FileIdentity(TargetName(kept, formats.target)));
    return names;
}

// A source a script named must be there: a name that finds nothing is a
// failure, not a file converted to nothing.
void CheckNamedSource(const TSession& session, const std::string& source)
{
    struct stat info {};
    if (session.NamedSources.contains(source) && (::stat(source.c_str(), &info) != 0 || !S_ISREG(info.st_mode)))
        throw EInOutError("Die Datei \"" + source + "\" existiert nicht oder ist keine Datei");
}

bool Intersect(const std::set<std::string>& a, const std::set<std::string>& b)
{
    return std::any_of(a.begin(), a.end(), [&b](const std::string& name) { return b.contains(name); });
}

// Runs on a worker: converts and measures one file; every failure becomes
// the file's result. A file that gave up its memory for files begun before
// it (MemoryBudget.h) has freed all it held; it is converted again once
// those are done. A conversion that got on without the memory it gave up
// (a part a reader could do without) is kept as it is.
TFileResult ConvertOnWorker(const std::string& path, const TConversionSettings& settings,
                            const TOverlaySnapshot& overlay, bool preview, bool alreadyWritten, TRunTargets& targets,
                            TMemoryBudget& budget)
{
    const uint64_t order = budget.NextFileOrder();
    while (true) {
        TFileResult result;
        result.path = path;
        bool gaveUp = false;
        {
            // Everything large the file needs is charged to its account until it is done.
            TMemoryAccount account(budget, order);
            const TAccountScope scope(&account);
            try {
                // A file this run has written already is a result, not a
                // source: it is skipped like a file the entry test skips.
                if (!alreadyWritten)
                    result.outcome =
                        ConvertFile(result.path, settings, overlay, targets, preview ? &result.preview : nullptr);
                result.after = GetFileSizeOf(result.path);
            } catch (const std::exception& error) {
                result.failed = true;
                result.reason = ReasonOf(error);
            }
            gaveUp = account.GaveUp();
        }
        if (!result.failed || !gaveUp)
            return result;
        budget.WaitForOlderFiles(order);
    }
}

// The line of a file that did not fail.
std::string ResultLine(const std::string& path, int64_t before, const TFileResult& result)
{
    if (result.outcome.Skipped)
        return SkippedLine(path);
    std::string line = FileLine(path, before, result.after) + result.outcome.SourceNote;
    if (result.outcome.Quality > 0)
        line += QualityNote(result.outcome.Quality);
    return result.outcome.OriginalTrashed ? line + kTrashedNote : line;
}

// A ticked entry that has been started (or failed before it could be),
// waiting for its line.
struct TStartedFile {
    std::string path;
    int64_t before = 0;
    std::set<std::string> touches;
    std::optional<uint64_t> ticket;  // none: decided on the front-end thread
    TFileResult early;
};

uint64_t RunBudgetBytes(const TSession& session)
{
    return session.MaxMemoryMegabytes > 0 ? uint64_t(session.MaxMemoryMegabytes) << 20 : DefaultMemoryBudget();
}

// The run loop. Files start in selection order on the front-end thread,
// each with the settings and overlay as they are at its start, and convert
// on the workers; their lines, previews and totals are reported in
// selection order as soon as a file and every file before it are done. A
// file that may read or write a file of an earlier one still converting
// waits for it, so such files are decided exactly as one after another.
class TRunLoop {
public:
    TRunLoop(TSession& session, int workers, std::shared_ptr<const TStampLogo> logo)
        : session_(session),
          logo_(std::move(logo)),
          frontEnd_(session.FrontEnd()),
          budget_(RunBudgetBytes(session)),
          // One worker is the one-after-another run; more keep one file
          // queued so that no worker waits for the front-end thread.
          limit_(workers == 1 ? 1 : size_t(workers) + 1),
          workers_(workers)
    {
    }

    TRunTotals Run()
    {
        int index = 0;
        for (; index < frontEnd_.SelectionCount() && frontEnd_.ProgressVisible(); ++index)
            if (frontEnd_.SelectionTicked(index) && !StartEntry(index))
                break;
        totals_.cancelled = index < frontEnd_.SelectionCount();
        // Cancelled or not: what was started is finished, saved and listed.
        for (ReportFinished(); !started_.empty(); ReportFinished())
            Pause();
        return totals_;
    }

private:
    // Starts the entry once a place is free and no earlier file touches its
    // files; false when the progress window was closed meanwhile.
    bool StartEntry(int index)
    {
        const std::string path = frontEnd_.SelectionEntry(index);
        std::optional<TConversionSettings> settings;
        std::set<std::string> touches;
        while (true) {
            if (!frontEnd_.ProgressVisible())
                return false;
            ReportFinished();
            const TConversionSettings now = SettingsForSource(session_, frontEnd_.CurrentSettings(), path);
            if (!settings || !(*settings == now)) {
                settings = now;
                touches = TouchedFiles(path, now);
            }
            if (started_.size() < limit_ && !TouchesConvertingFile(touches))
                break;
            Pause();
        }

        TStartedFile file{path, 0, std::move(touches), std::nullopt, {}};
        try {
            CheckNamedSource(session_, path);
            file.before = GetFileSizeOf(path);
            CheckedAdd(totals_.bytesBefore, file.before);
        } catch (const std::exception& error) {
            file.early = TFileResult{path, 0, true, ReasonOf(error), nullptr};
            started_.push_back(std::move(file));
            return true;
        }
        session_.Targets.Begin(path);
        const bool alreadyWritten = session_.Targets.WasWritten(path);
        const TOverlaySnapshot overlay = SnapshotOverlay(session_.Overlay, settings->TextEnabled, logo_);
        file.ticket = workers_.Start([path, snapshot = *settings, overlay, preview = session_.Preview, alreadyWritten,
                                      &targets = session_.Targets, &budget = budget_] {
            return ConvertOnWorker(path, snapshot, overlay, preview, alreadyWritten, targets, budget);
        });
        started_.push_back(std::move(file));

        frontEnd_.SetProgressPosition(index + 1);
        frontEnd_.SetProgressFile(path);
        frontEnd_.RepaintProgress();
        frontEnd_.ProcessMessages();
        return true;
    }

    bool TouchesConvertingFile(const std::set<std::string>& touches) const
    {
        return std::any_of(started_.begin(), started_.end(), [&](const TStartedFile& file) {
            return file.ticket && !workers_.Finished(*file.ticket) && Intersect(file.touches, touches);
        });
    }

    // Lets the windows work while the workers do.
    void Pause()
    {
        workers_.WaitForFinish(kPause);
        frontEnd_.ProcessMessages();
    }

    void ReportFinished()
    {
        while (!started_.empty()) {
            TStartedFile& file = started_.front();
            if (file.ticket && !workers_.Finished(*file.ticket))
                return;
            TFileResult result = file.ticket ? workers_.Take(*file.ticket) : std::move(file.early);
            Report(file, result);
            started_.pop_front();
        }
    }

    void Report(const TStartedFile& file, TFileResult& result)
    {
        // A file started before the preview was switched off still made one;
        // what the window shows follows the switch as it is now.
        if (result.preview && session_.Preview)
            frontEnd_.ShowPreviewPicture(*result.preview);
        const std::string& path = result.path.empty() ? file.path : result.path;
        if (!result.failed) {
            try {
                CheckedAdd(totals_.bytesAfter, result.after);
                CheckedAdd(totals_.converted, int32_t(1));
                totals_.warnings += result.outcome.Warning.empty() ? 0 : 1;
                frontEnd_.AddFileResultLine(ResultLine(path, file.before, result), path, "");
                frontEnd_.ReportFile(FileReport(file, result, path));
                return;
            } catch (const std::exception& error) {
                result.reason = ReasonOf(error);
            }
        }
        ++totals_.failed;
        result.failed = true;
        // The line names the source that failed; the reason names a target
        // it could not write.
        frontEnd_.AddFileResultLine(FailureLine(file.path), file.path, result.reason);
        frontEnd_.ReportFile(FileReport(file, result, path));
    }

    static TFileReport FileReport(const TStartedFile& file, const TFileResult& result, const std::string& path)
    {
        TFileReport report{file.path,
                           path,
                           TFileReport::Converted,
                           "",
                           file.before,
                           result.after,
                           result.outcome.Width,
                           result.outcome.Height,
                           result.outcome.Warning};
        if (result.failed) {
            report.Status = TFileReport::Failed;
            report.Reason = result.reason;
            report.BytesAfter = 0;
            report.Width = report.Height = 0;
            report.Warning.clear();
            if (path == file.path)
                report.Target.clear();
        } else if (result.outcome.Skipped) {
            report.Status = TFileReport::Skipped;
        }
        return report;
    }

    // Short enough that the windows repaint and react at once.
    static constexpr std::chrono::milliseconds kPause{10};

    TSession& session_;
    const std::shared_ptr<const TStampLogo> logo_;  // the run's logo, loaded once
    TFrontEnd& frontEnd_;
    TMemoryBudget budget_;
    const size_t limit_;
    TRunTotals totals_;
    std::deque<TStartedFile> started_;
    TFileWorkers workers_;  // last: its threads end before the rest goes
};

// The largest results the fit makes, one per shape it leaves open (a side
// it does not fix may be any length); none when the result keeps the
// source's size, which may be any.
std::vector<TLogoSize> LargestResults(const TConversionSettings& settings)
{
    const int32_t w = settings.Width, h = settings.Height, open = INT32_MAX;
    if (w <= 0 || h <= 0)
        return {};
    switch (settings.FitMode) {
    case 1: return {{w, open}};
    case 2: return {{open, h}};
    case 3: return {{std::min(w, h), open}, {open, std::min(w, h)}};
    case 4: return {{std::max(w, h), std::max(w, h)}};
    default: return {};
    }
}

// The largest size the run stamps a logo at: the largest of its sizes on
// the largest results, or its own size when those are open.
TLargestLogo LargestLogo(const TConversionSettings& settings, int32_t sharePercent)
{
    return [results = LargestResults(settings), sharePercent](int32_t width, int32_t height) {
        if (results.empty())
            return TLogoSize{width, height};
        TLogoSize largest{1, 1};
        for (const TLogoSize& result : results) {
            const TLogoSize size = LogoSizeOn(result.width, result.height, sharePercent, width, height);
            largest = {std::max(largest.width, size.width), std::max(largest.height, size.height)};
        }
        return largest;
    };
}

// The logo at the largest size the run stamps it at, read with the memory
// the run's files may take: nothing else holds any of it yet.
std::shared_ptr<const TStampLogo> LoadLogo(TSession& session)
{
    TMemoryBudget budget(RunBudgetBytes(session));
    TMemoryAccount account(budget, budget.NextFileOrder());
    const TAccountScope scope(&account);
    return TStampLogo::Load(session.Overlay.Logo, LargestLogo(session.FrontEnd().CurrentSettings(),
                                                              StampStyleOf(session.Overlay).LogoSize));
}

// Checks the stamp and loads its logo before any file is touched. A value
// the stamp cannot use refuses the run when "Text einfügen" is ticked (the
// message names it); unticked, a logo that cannot be read is no logo.
bool PrepareStamp(TSession& session, std::shared_ptr<const TStampLogo>& logo)
{
    const bool enabled = session.FrontEnd().CurrentSettings().TextEnabled;
    try {
        const std::string refusal = enabled ? StampRefusal(session.Overlay) : "";
        if (!refusal.empty())
            throw EInvalidOperation(refusal);
        if (!session.Overlay.Logo.empty())
            logo = LoadLogo(session);
    } catch (const std::exception& error) {
        if (!enabled)
            return true;
        session.RunRefused = true;
        session.FrontEnd().ShowMessage(ReasonOf(error) + "\r\rEs wurde nichts umgewandelt.");
        return false;
    }
    return true;
}

int WorkerCount(int requested, size_t tickedFiles)
{
    const int workers = requested > 0 ? requested : AvailableCores();
    return std::max(1, int(std::min<size_t>(size_t(workers), std::max<size_t>(tickedFiles, 1))));
}

std::vector<std::string> TickedEntries(TFrontEnd& frontEnd)
{
    std::vector<std::string> ticked;
    for (int index = 0; index < frontEnd.SelectionCount(); ++index)
        if (frontEnd.SelectionTicked(index))
            ticked.push_back(frontEnd.SelectionEntry(index));
    return ticked;
}

}  // namespace

std::optional<std::string> RunContradiction(const TSession& session, const TConversionSettings& settings,
                                            const std::vector<std::string>& sources)
{
    if (!IsNameText(settings.Output.Prefix) || !IsNameText(settings.Output.Suffix))
        return std::string(kNameTextRule);
    if (ConvertsInPlace(settings))
        return std::nullopt;
    for (const std::string& source : sources) {
        const TConversionSettings own = SettingsForSource(session, settings, source);
        const TFormatChoice formats = ChooseFormats(source, own);
        if (formats.target != fiUnknown &&
            FileIdentity(TargetName(KeptName(source, own), formats.target)) == FileIdentity(source))
            return "Das Ergebnis von \"" + source + "\" würde die Datei selbst ersetzen; es wird nichts umgewandelt.";
    }
    return std::nullopt;
}

namespace {

// Refuses the run before anything is converted, with a message, when its
// settings contradict themselves or its output folder cannot take results.
bool RefuseRun(TSession& session, const std::vector<std::string>& ticked)
{
    session.RunRefused = false;
    session.OutputFolderUnusable = false;
    const TConversionSettings settings = session.FrontEnd().CurrentSettings();
    if (const std::optional<std::string> contradiction = RunContradiction(session, settings, ticked)) {
        session.RunRefused = true;
        session.FrontEnd().ShowMessage(*contradiction);
    } else if (const std::optional<std::string> problem = OutputFolderProblem(settings.Output.Folder)) {
        session.OutputFolderUnusable = true;
        session.FrontEnd().ShowMessage(*problem);
    }
    return session.RunRefused || session.OutputFolderUnusable;
}

void WriteSummary(TFrontEnd& frontEnd, const TRunTotals& totals)
{
    frontEnd.AddResultLine(kSeparatorLine, "");
    frontEnd.AddResultLine("", "");
    frontEnd.AddResultLine("Zusammenfassung:", "");
    frontEnd.AddResultLine("", "");
    frontEnd.AddResultLine(FileCountText(totals.converted) + " Dateien gesamt", "");
    if (totals.warnings > 0)
        frontEnd.AddResultLine(FileCountText(totals.warnings) + " Dateien mit Warnungen", "");
    frontEnd.AddResultLine(FormatByteSize(totals.bytesBefore) + " vorher", "");
    frontEnd.AddResultLine(FormatByteSize(totals.bytesAfter) + " nachher", "");
    frontEnd.SetResultLabels(FileCountText(totals.converted) + " Dateien",
                             FormatByteSize(totals.bytesBefore) + " vorher",
                             FormatByteSize(totals.bytesAfter) + " nachher");
}

}  // namespace

TConversionSettings SettingsForSource(const TSession& session, TConversionSettings settings, const std::string& source)
{
    if (const auto named = session.NamedSources.find(source); named != session.NamedSources.end())
        settings.Directory = named->second;
    return settings;
}

std::string SearchLine(const std::string& folderText, const std::string& mask)
{
    const bool slash = folderText.empty() || folderText.back() == '/';
    return "Suche " + ShortenPath(slash ? folderText : folderText + "/", 50) + mask;
}

std::string CancelledLine(int32_t done, int32_t ticked)
{
    return "Abgebrochen nach " + InsertThousandSeparators(std::to_string(done)) + " von " +
           InsertThousandSeparators(std::to_string(ticked)) + " Dateien";
}

std::string FileLine(const std::string& path, int64_t before, int64_t after)
{
    return ShortenPath(path, 40) + ": " + FormatByteSize(before) + " ==> " + FormatByteSize(after);
}

std::string SkippedLine(const std::string& path)
{
    return ShortenPath(path, 40) + ": übersprungen (Ziel vorhanden)";
}

std::string QualityNote(int32_t quality)
{
    return " (Qualität " + std::to_string(quality) + ")";
}

std::string FailureLine(const std::string& path)
{
    return ShortenPath(path, 40) + " konnte nicht konvertiert werden!";
}

void btnConvertClick(TSession& session, const std::string& firstLine)
{
    TFrontEnd& frontEnd = session.FrontEnd();
    frontEnd.ClearSelection();
    frontEnd.ClearResults();
    if (!firstLine.empty())
        frontEnd.AddResultLine(firstLine, "");
    session.FolderMissing = false;
    frontEnd.SetResultLabels("0 Dateien", FormatByteSize(0) + " vorher", FormatByteSize(0) + " nachher");

    const std::vector<std::string>& masks = FileTypeEntries();
    for (int position = 0; position < int(masks.size()); ++position) {
        const TConversionSettings settings = frontEnd.CurrentSettings();
        if (!settings.FileTypes[size_t(FileTypeFormatIndex(position) - 1)])
            continue;
        frontEnd.AddResultLine(SearchLine(settings.Directory, masks[size_t(position)]), "");
        SearchPictures(session, settings.Directory, masks[size_t(position)]);
    }
    frontEnd.TickAllSelection();

    if (session.AutoConvert)
        RunConversion(session);
    else
        frontEnd.ShowSelection();
}

void RunConversion(TSession& session)
{
    TFrontEnd& frontEnd = session.FrontEnd();
    const std::vector<std::string> ticked = TickedEntries(frontEnd);
    frontEnd.TransferOverlay(session.Overlay);
    std::shared_ptr<const TStampLogo> logo;
    if (RefuseRun(session, ticked) || !PrepareStamp(session, logo)) {
        session.LastRun = {};
        if (session.AutoConvert)
            frontEnd.RequestQuit();
        return;
    }
    StartProgress(session);
    frontEnd.AddResultLine(kSeparatorLine, "");
    frontEnd.AddResultLine("", "");

    session.Targets.Start(ticked);
    const TRunTotals totals = TRunLoop(session, WorkerCount(session.Threads, ticked.size()), logo).Run();
    session.Targets.Finish();
    if (totals.cancelled)
        frontEnd.AddResultLine(CancelledLine(totals.converted + totals.failed, int32_t(ticked.size())), "");
    WriteSummary(frontEnd, totals);
    session.LastRun = totals;
    frontEnd.CloseProgress();
    if (session.AutoConvert)
        frontEnd.RequestQuit();
}

}  // namespace corvalin

#include "app/BatchRun.h"

#include <vector>

#include "app/ConvertPicture.h"
#include "app/PictureSearch.h"
#include "common/Exceptions.h"
#include "common/Tools.h"

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

// Measures, converts and measures again one ticked entry, adding its line.
// Any failure on the way gives the entry its failure line, with the error's
// message kept beside it, and the run goes on.
void ConvertEntry(TSession& session, int index, TRunTotals& totals)
{
    TFrontEnd& frontEnd = session.FrontEnd();
    std::string path = frontEnd.SelectionEntry(index);
    try {
        const int64_t before = GetFileSizeOf(path);
        CheckedAdd(totals.bytesBefore, before);

        frontEnd.SetProgressPosition(index + 1);
        frontEnd.SetProgressFile(path);
        frontEnd.RepaintProgress();
        frontEnd.ProcessMessages();

        // A file this run has written already is a result, not a source:
        // it is skipped like a file the entry test skips.
        session.Targets.Begin(path);
        if (!session.Targets.WasWritten(path)) {
            // The settings as the controls hold them now: a change made
            // during the run counts from the next file.
            const TConversionSettings s = frontEnd.CurrentSettings();
            ConvertPicture(session, path, s.TargetFormat, s.FitMode, s.Rotation, s.Width,
                           s.Height, s.ColorDepth, s.Quality, s.SaveAsCopy);
        }
        const int64_t after = GetFileSizeOf(path);
        CheckedAdd(totals.bytesAfter, after);
        CheckedAdd(totals.converted, int32_t(1));
        frontEnd.AddFileResultLine(FileLine(path, before, after), path, "");
    } catch (const std::exception& error) {
        ++totals.failed;
        frontEnd.AddFileResultLine(FailureLine(path), path, ReasonOf(error));
    }
}

std::vector<std::string> TickedEntries(TFrontEnd& frontEnd)
{
    std::vector<std::string> ticked;
    for (int index = 0; index < frontEnd.SelectionCount(); ++index)
        if (frontEnd.SelectionTicked(index))
            ticked.push_back(frontEnd.SelectionEntry(index));
    return ticked;
}

void WriteSummary(TFrontEnd& frontEnd, const TRunTotals& totals)
{
    frontEnd.AddResultLine(kSeparatorLine, "");
    frontEnd.AddResultLine("", "");
    frontEnd.AddResultLine("Zusammenfassung:", "");
    frontEnd.AddResultLine("", "");
    frontEnd.AddResultLine(FileCountText(totals.converted) + " Dateien gesamt", "");
    frontEnd.AddResultLine(FormatByteSize(totals.bytesBefore) + " vorher", "");
    frontEnd.AddResultLine(FormatByteSize(totals.bytesAfter) + " nachher", "");
    frontEnd.SetResultLabels(FileCountText(totals.converted) + " Dateien",
                             FormatByteSize(totals.bytesBefore) + " vorher",
                             FormatByteSize(totals.bytesAfter) + " nachher");
}

}  // namespace

std::string SearchLine(const std::string& folderText, const std::string& mask)
{
    return "Suche " + ShortenPath(folderText, 50) + mask;
}

std::string FileLine(const std::string& path, int64_t before, int64_t after)
{
    return ShortenPath(path, 40) + ": " + FormatByteSize(before) + " ==> " + FormatByteSize(after);
}

std::string FailureLine(const std::string& path)
{
    return ShortenPath(path, 40) + " konnte nicht konvertiert werden!";
}

void btnConvertClick(TSession& session)
{
    TFrontEnd& frontEnd = session.FrontEnd();
    frontEnd.ClearSelection();
    frontEnd.ClearResults();
    session.FolderMissing = false;
    frontEnd.SetResultLabels("0 Dateien", "0 KB vorher", "0 KB nachher");

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
    StartProgress(session);
    frontEnd.TransferOverlay(session.Overlay);
    frontEnd.AddResultLine(kSeparatorLine, "");
    frontEnd.AddResultLine("", "");

    session.Targets.Start(TickedEntries(frontEnd));
    TRunTotals totals;
    int index = 0;
    for (; index < frontEnd.SelectionCount() && frontEnd.ProgressVisible(); ++index)
        if (frontEnd.SelectionTicked(index))
            ConvertEntry(session, index, totals);
    totals.cancelled = index < frontEnd.SelectionCount();

    session.Targets.Finish();
    WriteSummary(frontEnd, totals);
    session.LastRun = totals;
    frontEnd.CloseProgress();
    if (session.AutoConvert)
        frontEnd.RequestQuit();
}

}  // namespace corvalin

#include "desktop/DesktopFrontEnd.h"

#include <QCoreApplication>
#include <QProgressBar>

#include "desktop/Copyright.h"
#include "desktop/FileList.h"
#include "desktop/MainWindow.h"
#include "desktop/Progress.h"
#include "desktop/WindowSupport.h"

namespace corvalin {

// ---------------------------------------------------------------- messages and main window

void TDesktopFrontEnd::ShowMessage(const std::string& text)
{
    window_.ShowMessage(text);
}

void TDesktopFrontEnd::ShowHelp(const std::string& text)
{
    window_.ShowMessage(text);
}

void TDesktopFrontEnd::ProcessMessages()
{
    probe_.MessagesDelivered();
    QCoreApplication::processEvents();
}

TConversionSettings TDesktopFrontEnd::CurrentSettings()
{
    return window_.CurrentSettings();
}

void TDesktopFrontEnd::ApplySettings(const TConversionSettings& settings)
{
    window_.ApplySettings(settings);
}

void TDesktopFrontEnd::ShowControlStates(const TControlStates& states)
{
    window_.ShowControlStates(states);
}

void TDesktopFrontEnd::SetFolderDialogFileName(const std::string& fileName)
{
    window_.SetFolderDialogFileName(fileName);
}

void TDesktopFrontEnd::ClearResults()
{
    window_.ClearResults();
}

void TDesktopFrontEnd::AddResultLine(const std::string& line, const std::string& reason)
{
    window_.AddResultLine(line, reason);
}

void TDesktopFrontEnd::AddFileResultLine(const std::string& line, const std::string& path,
                                         const std::string& reason)
{
    window_.AddFileResultLine(line, path, reason);
}

void TDesktopFrontEnd::SetResultLabels(const std::string& files, const std::string& before,
                                       const std::string& after)
{
    window_.SetResultLabels(files, before, after);
}

void TDesktopFrontEnd::ReportFile(const TFileReport& report)
{
    if (!report.Warning.empty())
        ++warnings_;
}

void TDesktopFrontEnd::HideMainWindow()
{
    window_.hide();
}

void TDesktopFrontEnd::RequestQuit()
{
    window_.RequestQuit();
}

// ---------------------------------------------------------------- selection window

void TDesktopFrontEnd::ClearSelection()
{
    warnings_ = 0;
    if (TfrmFileList* list = EnsureFileList(&window_)) {
        list->runConversion = [this] { return window_.RunConversionFromSelection(); };
        list->Clear();
    }
}

void TDesktopFrontEnd::AddSelection(const std::string& path)
{
    if (TfrmFileList* list = FileListWindow())
        list->Add(path);
}

void TDesktopFrontEnd::TickAllSelection()
{
    if (TfrmFileList* list = FileListWindow())
        list->TickFound();
}

int TDesktopFrontEnd::SelectionCount()
{
    return FileListWindow() ? FileListWindow()->Count() : 0;
}

std::string TDesktopFrontEnd::SelectionEntry(int index)
{
    return FileListWindow()->Entry(index);
}

bool TDesktopFrontEnd::SelectionTicked(int index)
{
    return FileListWindow()->Ticked(index);
}

void TDesktopFrontEnd::ShowSelection()
{
    // After the message that the folder is missing there is nothing to choose.
    if (window_.Session().FolderMissing)
        return;
    if (TfrmFileList* list = EnsureFileList(&window_))
        list->exec();
}

// ---------------------------------------------------------------- progress window

void TDesktopFrontEnd::ResetProgress()
{
    warnings_ = 0;
    const bool created = ProgressWindow() == nullptr;
    // The progress window stays in front of the selection window of the run.
    TfrmProgress* progress = EnsureProgress(FileListWindow());
    if (progress == nullptr)
        return;
    if (created) {
        progress->previewChanged = [this](bool preview) { window_.PreviewChangedInProgress(preview); };
        progress->SetPreviewBox(window_.Session().Preview);
    }
    progress->Reset();
}

void TDesktopFrontEnd::SetProgressMaximum(int maximum)
{
    if (TfrmProgress* progress = ProgressWindow())
        progress->pnlProgressBar->setMaximum(maximum);
}

void TDesktopFrontEnd::SetProgressPosition(int position)
{
    probe_.FileStarted();
    if (TfrmProgress* progress = ProgressWindow())
        progress->pnlProgressBar->setValue(position);
}

void TDesktopFrontEnd::SetProgressFile(const std::string& path)
{
    if (TfrmProgress* progress = ProgressWindow())
        progress->SetFile(path);
}

void TDesktopFrontEnd::SetProgressPreviewBox(bool ticked)
{
    if (TfrmProgress* progress = ProgressWindow())
        progress->SetPreviewBox(ticked);
}

void TDesktopFrontEnd::ShowProgress()
{
    if (TfrmProgress* progress = ProgressWindow()) {
        probe_.RunStarted(progress);
        progress->show();
        CenterOnScreen(progress);
        progress->raise();
    }
}

void TDesktopFrontEnd::RepaintProgress()
{
    if (TfrmProgress* progress = ProgressWindow())
        progress->repaint();
}

void TDesktopFrontEnd::ShowPreviewPicture(const TBitmap& picture)
{
    if (TfrmProgress* progress = ProgressWindow())
        progress->ShowPicture(picture);
}

bool TDesktopFrontEnd::ProgressVisible()
{
    const bool visible = ProgressWindow() != nullptr && ProgressWindow()->isVisible();
    probe_.VisibilityAsked(visible);
    return visible;
}

void TDesktopFrontEnd::CloseProgress()
{
    probe_.RunEnded();
    if (TfrmProgress* progress = ProgressWindow())
        progress->close();
}

// ---------------------------------------------------------------- overlay dialog

void TDesktopFrontEnd::TransferOverlay(TCopyrightText& record)
{
    if (TfrmCopyright* dialog = EnsureOverlayDialog(record)) {
        dialog->LoadOverlaySettings(record);
        dialog->StoreOverlaySettings();
    }
}

}  // namespace corvalin

// The front end through which the conversion engine reaches the windows:
// the main window's controls and result list, the selection window and the
// progress window of a run.
#pragma once

#include <string>

#include "app/FrontEnd.h"
#include "desktop/RunProbe.h"

namespace corvalin {

class TfrmCorvalin;

class TDesktopFrontEnd : public TFrontEnd {
public:
    explicit TDesktopFrontEnd(TfrmCorvalin& window) : window_(window) {}

    void ShowMessage(const std::string& text) override;
    void ShowHelp(const std::string& text) override;
    void ProcessMessages() override;
    TConversionSettings CurrentSettings() override;
    void ApplySettings(const TConversionSettings& settings) override;
    void ShowControlStates(const TControlStates& states) override;
    void SetFolderDialogFileName(const std::string& fileName) override;
    void ClearResults() override;
    void AddResultLine(const std::string& line, const std::string& reason) override;
    void AddFileResultLine(const std::string& line, const std::string& path,
                           const std::string& reason) override;
    void SetResultLabels(const std::string& files, const std::string& before,
                         const std::string& after) override;
    void ReportFile(const TFileReport& report) override;
    // The files of the last run converted with a warning.
    int Warnings() const { return warnings_; }
    void ClearSelection() override;
    void AddSelection(const std::string& path) override;
    void TickAllSelection() override;
    int SelectionCount() override;
    std::string SelectionEntry(int index) override;
    bool SelectionTicked(int index) override;
    void ShowSelection() override;
    void ResetProgress() override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressPosition(int position) override;
    void SetProgressFile(const std::string& path) override;
    void SetProgressPreviewBox(bool ticked) override;
    void ShowProgress() override;
    void RepaintProgress() override;
    void ShowPreviewPicture(const TBitmap& picture) override;
    bool ProgressVisible() override;
    void CloseProgress() override;
    void TransferOverlay(TCopyrightText& record) override;
    void HideMainWindow() override;
    void RequestQuit() override;

private:
    TfrmCorvalin& window_;
    TRunProbe probe_;
    int warnings_ = 0;
};

}  // namespace corvalin

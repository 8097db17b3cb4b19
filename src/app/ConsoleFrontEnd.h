// The front end of runs without a display: the controls are plain values,
// messages and failure reasons go to standard error, result lines to
// standard output.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/FrontEnd.h"
#include "app/ProgressLine.h"
#include "overlay/OverlaySettings.h"
#include "picture/Font.h"

namespace corvalin {

class TConsoleFrontEnd : public TFrontEnd {
public:
    TConsoleFrontEnd(std::FILE* out = stdout, std::FILE* err = stderr) : out_(out), err_(err) {}

    void ShowMessage(const std::string& text) override;
    void ShowHelp(const std::string& text) override;
    void ProcessMessages() override {}

    TConversionSettings CurrentSettings() override { return settings_; }
    void ApplySettings(const TConversionSettings& settings) override { settings_ = settings; }
    void ShowControlStates(const TControlStates&) override {}
    void SetFolderDialogFileName(const std::string&) override {}

    void ClearResults() override {}
    void AddResultLine(const std::string& line, const std::string& reason) override;
    void ReportFile(const TFileReport& report) override;
    void SetResultLabels(const std::string&, const std::string&, const std::string&) override {}

    void ClearSelection() override { selection_.clear(); }
    void AddSelection(const std::string& path) override { selection_.push_back({path, false}); }
    void TickAllSelection() override;
    int SelectionCount() override { return int(selection_.size()); }
    std::string SelectionEntry(int index) override { return selection_.at(size_t(index)).path; }
    bool SelectionTicked(int index) override { return selection_.at(size_t(index)).ticked; }
    void ShowSelection() override {}

    void ResetProgress() override {}
    void SetProgressMaximum(int maximum) override;
    void SetProgressPosition(int) override {}
    void SetProgressFile(const std::string&) override {}
    void SetProgressPreviewBox(bool) override {}
    void ShowProgress() override { progressVisible_ = true; }
    void RepaintProgress() override {}
    void ShowPreviewPicture(const TBitmap&) override {}
    bool ProgressVisible() override { return progressVisible_; }
    void CloseProgress() override;
    // From now on a run draws its progress line on the error stream (a
    // terminal's), taken away before any other output and after the run.
    void ShowProgressLine() { progressLine_.emplace(err_); }

    void TransferOverlay(TCopyrightText& record) override;

    void HideMainWindow() override {}
    void RequestQuit() override { quitRequested_ = true; }
    bool QuitRequested() const { return quitRequested_; }

private:
    // Prints the text with the progress line taken away and drawn again.
    void PrintAround(std::FILE* stream, const std::string& text);

    struct Entry {
        std::string path;
        bool ticked;
    };

    std::FILE* out_;
    std::FILE* err_;
    TConversionSettings settings_;
    std::vector<Entry> selection_;
    bool progressVisible_ = false;
    bool quitRequested_ = false;
    std::optional<TProgressLine> progressLine_;
    bool progressRunning_ = false;
    // The overlay dialog's controls and its text font (the record's stored
    // font), which the overlay record points at after a transfer.
    TOverlayControls overlayControls_;
    TFont overlayFont_;
};

}  // namespace corvalin

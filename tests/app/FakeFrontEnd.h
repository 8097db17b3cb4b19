// A front end for tests: the controls are plain values, and everything the
// engine shows is recorded.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/FrontEnd.h"
#include "overlay/OverlaySettings.h"
#include "picture/Bitmap.h"
#include "picture/Font.h"

class FakeFrontEnd : public corvalin::TFrontEnd {
public:
    struct Line {
        std::string text;
        std::string reason;
    };

    corvalin::TConversionSettings settings;
    std::vector<std::string> messages;
    std::vector<std::string> helps;
    std::vector<Line> lines;
    std::vector<std::pair<std::string, bool>> selection;  // path, tick
    std::vector<int> positions;
    std::vector<std::string> progressFiles;
    std::vector<std::pair<int, int>> previewSizes;
    corvalin::TControlStates states;
    std::string folderDialogFileName;
    std::string labels[3];
    bool progressVisible = false;
    bool progressShown = false;
    bool selectionShown = false;
    bool quitRequested = false;
    int processCalls = 0;
    // Runs at every delivery of pending messages, as a user could act then.
    std::function<void(FakeFrontEnd&)> onProcessMessages;
    corvalin::TOverlayControls overlayControls;
    corvalin::TFont overlayFont;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowHelp(const std::string& text) override { helps.push_back(text); }
    void ProcessMessages() override
    {
        ++processCalls;
        if (onProcessMessages)
            onProcessMessages(*this);
    }
    corvalin::TConversionSettings CurrentSettings() override { return settings; }
    void ApplySettings(const corvalin::TConversionSettings& s) override { settings = s; }
    void ShowControlStates(const corvalin::TControlStates& s) override { states = s; }
    void SetFolderDialogFileName(const std::string& name) override { folderDialogFileName = name; }
    void ClearResults() override { lines.clear(); }
    void AddResultLine(const std::string& line, const std::string& reason) override
    {
        lines.push_back({line, reason});
    }
    void SetResultLabels(const std::string& a, const std::string& b, const std::string& c) override
    {
        labels[0] = a;
        labels[1] = b;
        labels[2] = c;
    }
    void ClearSelection() override { selection.clear(); }
    void AddSelection(const std::string& path) override { selection.push_back({path, false}); }
    void TickAllSelection() override
    {
        for (auto& entry : selection)
            entry.second = true;
    }
    int SelectionCount() override { return int(selection.size()); }
    std::string SelectionEntry(int i) override { return selection.at(size_t(i)).first; }
    bool SelectionTicked(int i) override { return selection.at(size_t(i)).second; }
    void ShowSelection() override { selectionShown = true; }
    void ResetProgress() override { positions.clear(); }
    void SetProgressMaximum(int) override {}
    void SetProgressPosition(int position) override { positions.push_back(position); }
    void SetProgressFile(const std::string& path) override { progressFiles.push_back(path); }
    void SetProgressPreviewBox(bool) override {}
    void ShowProgress() override { progressVisible = progressShown = true; }
    void RepaintProgress() override {}
    void ShowPreviewPicture(const corvalin::TBitmap& picture) override
    {
        previewSizes.push_back({picture.Width(), picture.Height()});
    }
    bool ProgressVisible() override { return progressVisible; }
    void CloseProgress() override { progressVisible = false; }
    void TransferOverlay(corvalin::TCopyrightText& record) override
    {
        corvalin::LoadOverlaySettings(overlayControls, record);
        corvalin::StoreOverlaySettings(overlayControls, &overlayFont, record);
    }
    void HideMainWindow() override {}
    void RequestQuit() override { quitRequested = true; }

    std::vector<std::string> LineTexts() const
    {
        std::vector<std::string> texts;
        for (const Line& line : lines)
            texts.push_back(line.text);
        return texts;
    }
};

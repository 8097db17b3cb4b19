// The progress window "Bitte warten...": which file is being converted, how
// far the run has come and, when asked to, the picture just converted.
// Closing it stops the run before the next file.
#pragma once

#include <functional>
#include <string>

#include <QWidget>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace corvalin {

class TBitmap;

class TfrmProgress : public QWidget {
public:
    // owner: the window the progress window stays in front of (the
    // selection window of the run); null for none.
    explicit TfrmProgress(QWidget* owner = nullptr);

    // Client heights: bar and panel only, or with the preview below them.
    static constexpr int kClientWidth = 427;
    static constexpr int kSmallHeight = 81;
    static constexpr int kLargeHeight = 81 + 275 + 4;

    void Reset();
    void SetFile(const std::string& path);
    void SetPreviewBox(bool ticked);
    // A copy of the picture, scaled down proportionally when larger than the
    // preview area, centred; repaints at once.
    void ShowPicture(const TBitmap& picture);
    // 400 or 100 pixels high as cbxPreview says.
    void ApplyLayout();
    void cbxPreviewClick();

    // Told when the user ticks or unticks the preview box.
    std::function<void(bool)> previewChanged;

    QProgressBar* pnlProgressBar = nullptr;
    QWidget* pnlMain = nullptr;
    QLabel* labFilenameTitle = nullptr;
    QLabel* labFilename = nullptr;
    QCheckBox* cbxPreview = nullptr;
    QPushButton* btnCancel = nullptr;
    QLabel* imgPreview = nullptr;
};

// Created on first use, never destroyed before the program ends; null until then.
TfrmProgress* ProgressWindow();
// Creates the window if needed; a failure shows its text and returns null.
TfrmProgress* EnsureProgress(QWidget* owner = nullptr);

}  // namespace corvalin

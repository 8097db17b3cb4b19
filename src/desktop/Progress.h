// The progress window "Bitte warten...": which file is being converted, how
// far the run has come and, when asked to, the picture just converted.
// Closing it stops the run before the next file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <QWidget>

#include "desktop/PreviewScaler.h"

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
    // Goes with its owner; ProgressWindow() is null again afterwards.
    ~TfrmProgress() override;

    // Client heights: bar and panel only, or with the preview below them.
    static constexpr int kClientWidth = 427;
    static constexpr int kSmallHeight = 81;
    static constexpr int kLargeHeight = 81 + 275 + 4;

    void Reset();
    void SetFile(const std::string& path);
    void SetPreviewBox(bool ticked);
    // A copy of the picture, scaled down proportionally when larger than the
    // preview area, centred. A picture that fits repaints at once; a larger
    // one appears once the scaler has shrunk it, unless a newer picture came
    // first or the preview was switched off meanwhile.
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

private:
    void SetPreview(const QImage& image);
    void ShrunkPreviewReady(const QImage& image, uint64_t request);

    // Counts the pictures asked for, so that a late shrunk one that is no
    // longer the newest is not shown.
    uint64_t previewRequests_ = 0;
    TPreviewScaler scaler_;
};

// Created on first use, never destroyed before the program ends; null until then.
TfrmProgress* ProgressWindow();
// Creates the window if needed; a failure shows its text and returns null.
TfrmProgress* EnsureProgress(QWidget* owner = nullptr);

}  // namespace corvalin

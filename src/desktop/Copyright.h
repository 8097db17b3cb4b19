// The overlay dialog "Text einfügen": edits the main window's overlay record
// (text, font, border, corner) with a live preview on a 199 x 151 sample.
#pragma once

#include <functional>
#include <optional>

#include <QDialog>
#include <QString>

#include "overlay/CopyrightText.h"
#include "overlay/OverlaySettings.h"
#include "formats/BitmapEx.h"
#include "picture/Font.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace corvalin {

class TfrmFontDialog;

class TfrmCopyright : public QDialog {
public:
    // record is the main window's overlay record; the dialog writes into it
    // and the record's Font points at this dialog's text font afterwards.
    explicit TfrmCopyright(TCopyrightText& record);
    ~TfrmCopyright() override;

    // record -> controls; a control whose value changes fires its handler
    // as a user edit would, one that already shows the value fires nothing.
    void LoadOverlaySettings(const TCopyrightText& settings);
    // controls -> the main window's record.
    void StoreOverlaySettings();
    void UpdateView();

    void edtTextChange();
    void edtBorderChange();
    void rdbPositionClick();
    void btnChooseFontClick();
    void btnLoadImageClick();
    void btnOkClick();

    // The parts of the two handlers after their dialogs: taking a chosen font,
    // and loading a sample file (false after the failure message).
    void ApplyFont(const TFont& font);
    bool LoadSample(const QString& fileName);

    const TFont& TextFont() const { return textFont_; }
    // The preview as shown, 199 x 151.
    QImage PreviewImage() const;

    // Where the dialogs come from; tests answer them without a window.
    std::function<QString()> chooseSampleFile;
    std::function<std::optional<TFont>()> chooseFont;

    QLabel* labTitle = nullptr;
    QLabel* imgImage = nullptr;
    QLineEdit* edtText = nullptr;
    QToolButton* btnChooseFont = nullptr;
    QLabel* labBorder = nullptr;
    QSpinBox* edtBorder = nullptr;
    QGroupBox* rdbPosition = nullptr;
    QButtonGroup* positionButtons = nullptr;
    QPushButton* btnLoadImage = nullptr;
    QPushButton* btnOk = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    TOverlayControls ControlValues() const;
    int Position() const;
    void SetPosition(int index);

    TCopyrightText& record_;
    TFont textFont_;                    // edtText's font; the record points here
    TBitmapEx samplePicture_;           // empty until a sample is loaded
    TfrmFontDialog* dlgFontDialog_ = nullptr;
};

// The dialog, created on first use and kept until the program ends; null
// until then.
TfrmCopyright* OverlayDialog();
// Creates the dialog bound to record if it does not exist yet. A creation
// failure shows the error's text and returns null; the next call tries again.
TfrmCopyright* EnsureOverlayDialog(TCopyrightText& record);

// The filter of the sample's file dialog: the ten formats, then all files.
QString SampleFileFilter();

}  // namespace corvalin

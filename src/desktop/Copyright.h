// The overlay dialog "Text einfügen": edits the main window's overlay record
// (text, font, colour, border, place, box, opacity, size and logo) with a
// live preview on a 199 x 151 sample.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QDialog>
#include <QString>

#include "overlay/CopyrightText.h"
#include "overlay/OverlaySettings.h"
#include "overlay/StampLogo.h"
#include "formats/BitmapEx.h"
#include "picture/Font.h"

class QButtonGroup;
class QComboBox;
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
    // A number out of its control's range takes the nearest end of it, a
    // colour that is none leaves the colour as it is: the dialog holds only
    // values a run can use.
    void LoadOverlaySettings(const TCopyrightText& settings);
    // controls -> the main window's record.
    void StoreOverlaySettings();
    void UpdateView();

    void edtTextChange();
    void edtBorderChange();
    void rdbPositionClick();
    void btnChooseFontClick();
    void btnBoxColorClick();
    void btnChooseLogoClick();
    void btnClearLogoClick();
    void btnLoadImageClick();
    void btnOkClick();
    void btnCancelClick();
    // Whether the dialog was last left with "&Abbrechen".
    bool Cancelled() const { return cancelled_; }

    // The parts of the handlers after their dialogs: taking a chosen font,
    // a box colour, a logo (false after the failure message) and loading a
    // sample file (false after the failure message).
    void ApplyFont(const TFont& font);
    void ApplyBoxColor(TColor color);
    bool ApplyLogo(const QString& fileName);
    bool LoadSample(const QString& fileName);

    const TFont& TextFont() const { return textFont_; }
    // The preview as shown, 199 x 151, and the sample it is drawn on.
    QImage PreviewImage() const;
    QImage SampleImage() const;

    // Where the dialogs come from; tests answer them without a window.
    std::function<QString()> chooseSampleFile;
    std::function<QString()> chooseLogoFile;
    std::function<std::optional<TFont>()> chooseFont;
    std::function<std::optional<TColor>()> chooseBoxColor;

    QLabel* labTitle = nullptr;
    QLabel* imgImage = nullptr;
    QLineEdit* edtText = nullptr;
    QToolButton* btnChooseFont = nullptr;
    QLabel* labFontColor = nullptr;  // a swatch of the text's colour
    QLabel* labFont = nullptr;       // the font's description
    QLabel* labBorder = nullptr;
    QSpinBox* edtBorder = nullptr;
    QGroupBox* rdbPosition = nullptr;
    // The nine places; ids 0 "links oben" and 1 "links unten" as ever, then
    // the others (see PlaceOfId).
    QButtonGroup* positionButtons = nullptr;
    QComboBox* cboBox = nullptr;
    QPushButton* btnBoxColor = nullptr;
    QSpinBox* edtOpacity = nullptr;
    QSpinBox* edtSize = nullptr;
    QLineEdit* edtLogo = nullptr;
    QToolButton* btnChooseLogo = nullptr;
    QToolButton* btnClearLogo = nullptr;
    QSpinBox* edtLogoSize = nullptr;
    QComboBox* cboLogoPosition = nullptr;
    QPushButton* btnLoadImage = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    TOverlayControls ControlValues() const;
    int Position() const;
    void SetPosition(int32_t align);
    void ShowFont();
    void ShowBoxColor();
    void SetLogo(const std::string& fileName, std::shared_ptr<const TStampLogo> logo);
    void BuildPlaceControls();
    void BuildLookControls();
    void BuildLogoControls();

    TCopyrightText& record_;
    TFont textFont_;                                 // the text's font and colour; the record points here
    TColor boxColor_ = clWhite;                      // the box's colour with "Farbiger Kasten"
    std::string logoFile_;                           // the logo as the record names it
    std::shared_ptr<const TStampLogo> previewLogo_;  // null when it cannot be read
    TBitmapEx samplePicture_;           // empty until a sample is loaded
    TfrmFontDialog* dlgFontDialog_ = nullptr;
    TCopyrightText openedWith_;  // the record as the dialog last opened
    bool cancelled_ = false;
};

// The placement flags of a place id of positionButtons, and the id of flags
// (normalised per axis).
int32_t PlaceOfId(int id);
int IdOfPlace(int32_t align);

// The dialog, created on first use and kept until the program ends; null
// until then.
TfrmCopyright* OverlayDialog();
// Creates the dialog bound to record if it does not exist yet. A creation
// failure shows the error's text and returns null; the next call tries again.
TfrmCopyright* EnsureOverlayDialog(TCopyrightText& record);

// The filter of the sample's file dialog: the ten formats, then all files.
QString SampleFileFilter();

}  // namespace corvalin

// The font choice of the overlay dialog: face, height in pixels, style and
// colour, returned as the raster layer's font so that the preview and the
// converted pictures draw with exactly what was chosen.
#pragma once

#include <optional>

#include <QDialog>

#include "picture/Font.h"

class QCheckBox;
class QFontComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace corvalin {

// How a raster-layer font looks in a control. A negative height is the em
// size in pixels; a positive one, the cell height, is taken as the em size,
// which is a little larger than the text will be drawn.
QFont ToQFont(const TFont& font);

class TfrmFontDialog : public QDialog {
public:
    TfrmFontDialog();

    // Opens on start (the stamp's font as it is now) and returns the new
    // choice, or nothing when the user cancels.
    std::optional<TFont> Choose(const TFont& start);
    // The font the dialog holds: what the controls show. A face left as it
    // opened keeps the name it came with, even where the list shows the
    // family fontconfig draws it with.
    TFont Chosen() const;
    void SetChosen(const TFont& font);

    QFontComboBox* cboFace = nullptr;
    QSpinBox* edtSize = nullptr;
    QCheckBox* cbxBold = nullptr;
    QCheckBox* cbxItalic = nullptr;
    QCheckBox* cbxUnderline = nullptr;
    QCheckBox* cbxStrikeOut = nullptr;
    QPushButton* btnColor = nullptr;
    QLabel* labSample = nullptr;

private:
    void ChooseColor();
    void UpdateSample();

    TFont font_;  // attributes the controls do not show (character set) travel here
};

}  // namespace corvalin

// "Weitere Einstellungen": the choices that have no room in the main window
// (metadata, where the results go and what they are called), each bound to
// its stored value through the main window.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QDialog>

#include "app/ConversionSettings.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QToolButton;

namespace corvalin {

class TfrmMoreSettings : public QDialog {
public:
    explicit TfrmMoreSettings(QWidget* parent);

    void SetChoices(const TScalingChoices& scaling, const TMetadataChoices& metadata, const TOutputChoices& output,
                    bool askBeforeReplacing);
    TScalingChoices Scaling() const;
    TMetadataChoices Metadata() const;
    TOutputChoices Output() const;
    bool AskBeforeReplacing() const;
    // An entry the run would refuse keeps the dialog from closing with OK;
    // labProblem says why.
    bool EntriesValid() const;

    // The folder chooser of "Zielordner"; gets the folder shown and returns
    // the chosen one. Tests answer it without a window.
    std::function<std::optional<std::string>(const std::string&)> chooseFolder;

    QCheckBox* cbxSmooth = nullptr;
    QCheckBox* cbxShrinkOnly = nullptr;
    QCheckBox* cbxAutoOrient = nullptr;
    QCheckBox* cbxStrip = nullptr;
    QCheckBox* cbxKeepDate = nullptr;
    QCheckBox* cbxAskReplace = nullptr;
    QCheckBox* cbxTrash = nullptr;
    QCheckBox* cbxSrgb = nullptr;
    QLineEdit* edtOutDir = nullptr;
    QToolButton* btnOutDir = nullptr;
    QLineEdit* edtPrefix = nullptr;
    QLineEdit* edtSuffix = nullptr;
    QComboBox* cboExisting = nullptr;
    QSpinBox* edtMaxKb = nullptr;
    QLabel* labProblem = nullptr;
    QDialogButtonBox* buttons = nullptr;

private:
    void BrowseOutDir();
    void ShowProblem();
};

}  // namespace corvalin

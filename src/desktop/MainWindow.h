// The main window "Corvalin": every setting in its upper group, the result of
// the last run in its lower group, a menu and a status bar. The engine
// reaches it, and the selection and progress windows, through its front end
// (TDesktopFrontEnd).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QMainWindow>

#include "app/Session.h"
#include "desktop/DesktopFrontEnd.h"

class QAction;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace corvalin {

// "Alle markieren": the grey third state is set by the program only; a click
// on it, or on an unticked box, ticks the box.
class TMarkAllBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override;
};

class TfrmCorvalin : public QMainWindow {
public:
    TfrmCorvalin();

    TSession& Session() { return session_; }

    // Start-up: settings, hint display, command line (which may run a whole
    // automatic batch). Afterwards QuitRequested() tells whether to end.
    void FormCreate(const std::vector<std::string>& parameters);
    bool QuitRequested() const { return quitRequested_; }

    // The status bar text for a hint ("" means the resting text: the title
    // line, or how the last run ended once there was one).
    void DisplayHint(const QString& hint);
    static QString TitleLine();
    // "2 Dateien konvertiert, 1 fehlgeschlagen", how many with a warning
    // when any, and whether it was cancelled.
    static QString RunOutcome(const TRunTotals& totals, int warnings = 0);

    // A run is in progress from "&Umwandeln..." (search, selection,
    // conversion) until its summary is written or the selection is left.
    // Meanwhile nothing can start another run, and the folder box takes no
    // drops; the selection window locks its list while the files convert.
    bool RunInProgress() const { return runInProgress_; }

    // Handlers of the controls and menu entries.
    void btnBrowseClick();
    void btnShowFolderClick();
    void btnConvertClick();
    void btnExitClick();
    void mniPreviewClick();
    void UpdateControlsClick();
    void cbxMarkAllClick();
    void cbxCopyrightClick();
    void btnChooseFontClick();
    void lbxResultClick();
    void lbxResultDblClick();
    void btnShowImageClick();
    void btnOrderPicturesClick();
    void btnAboutClick();
    void mniDocumentationClick();
    void mniWebsiteClick();
    void mniDownloadUpdateClick();
    void mniEmailClick();
    void miCommandLineHelpClick();
    void btnMoreSettingsClick();
    void mniSavePresetClick();
    // The entries of "Laden" and "Löschen", one per saved preset, as the
    // menu opens.
    void FillPresetMenus();

    // Dialogs the handlers open; tests answer them without a window.
    // chooseFolder gets the folder to open on and returns the chosen one.
    std::function<std::optional<std::string>(const std::string&)> chooseFolder;
    std::function<void(const std::string&)> showMessageBox;
    // The name to save the settings under; nothing when cancelled.
    std::function<std::optional<std::string>()> askPresetName;
    // "Vorhandene Dateien ersetzen?" with the question's text: yes to go on;
    // dontAskAgain gets the tick of "Nicht mehr fragen".
    std::function<bool(const std::string& question, bool& dontAskAgain)> askReplacing;
    // Closing the window during a run: yes to cancel the run and close.
    std::function<bool()> askCancelRun;

    // What the front end shows in and reads from this window.
    void ShowMessage(const std::string& text);
    TConversionSettings CurrentSettings();
    void ApplySettings(const TConversionSettings& settings);
    void ShowControlStates(const TControlStates& states);
    void SetFolderDialogFileName(const std::string& fileName);
    void ClearResults();
    void AddResultLine(const std::string& line, const std::string& reason);
    void AddFileResultLine(const std::string& line, const std::string& path,
                           const std::string& reason);
    void SetResultLabels(const std::string& files, const std::string& before,
                         const std::string& after);
    void RequestQuit();
    // "&Weiter" of the selection window: the run, then its outcome in view;
    // false when the user did not want the originals replaced.
    bool RunConversionFromSelection();
    // The progress window's preview box was clicked.
    void PreviewChangedInProgress(bool preview);

    // Settings group
    QGroupBox* gbxSetup = nullptr;
    QLabel* labDirectory = nullptr;
    QLineEdit* edtDirectory = nullptr;
    QToolButton* btnBrowse = nullptr;
    QCheckBox* cbxSearchSubdirectories = nullptr;
    QCheckBox* cbxSaveAsCopy = nullptr;
    QCheckBox* cbxCopyright = nullptr;
    QToolButton* btnChooseFont = nullptr;
    QLabel* labFileTypes = nullptr;
    QListWidget* lbxFileTypes = nullptr;
    TMarkAllBox* cbxMarkAll = nullptr;
    QLabel* labWidth = nullptr;
    QSpinBox* edtWidth = nullptr;
    QLabel* labAutoWidth = nullptr;
    QLabel* labX = nullptr;
    QLabel* labHeight = nullptr;
    QSpinBox* edtHeight = nullptr;
    QLabel* labAutoHeight = nullptr;
    QLabel* labQuality = nullptr;
    QSpinBox* edtQuality = nullptr;
    QGroupBox* rdbCalcType = nullptr;
    QButtonGroup* calcTypeButtons = nullptr;
    QGroupBox* rdbRotate = nullptr;
    QButtonGroup* rotateButtons = nullptr;
    QLabel* labConvertFormat = nullptr;
    QComboBox* cboConvertFormat = nullptr;
    QLabel* labColorDepth = nullptr;
    QComboBox* cboColorDepth = nullptr;
    // Under the settings: where the results go.
    QLabel* labPlacement = nullptr;
    // Result group
    QGroupBox* gbxResult = nullptr;
    QListWidget* lbxResult = nullptr;
    QPushButton* btnConvert = nullptr;
    QToolButton* btnMoreSettings = nullptr;
    QLabel* labResultFiles = nullptr;
    QLabel* labResultSizeBefore = nullptr;
    QLabel* labResultSizeAfter = nullptr;
    QPushButton* btnShowImage = nullptr;
    QPushButton* btnShowFolder = nullptr;
    QPushButton* btnOrderPictures = nullptr;
    QPushButton* btnAbout = nullptr;
    QPushButton* btnExit = nullptr;
    // Menu
    QAction* mniBrowse = nullptr;
    QAction* mniShowFolder = nullptr;
    QAction* mniConvert = nullptr;
    QAction* mniExit = nullptr;
    QAction* mniPreview = nullptr;
    QAction* mniFotosentwickeln = nullptr;
    QAction* miCommandLineHelp = nullptr;
    QAction* mniMoreSettings = nullptr;
    QMenu* mnuPresets = nullptr;
    QAction* mniSavePreset = nullptr;
    QMenu* mnuLoadPreset = nullptr;
    QMenu* mnuDeletePreset = nullptr;
    QAction* mniDocumentation = nullptr;
    QAction* mniAbout = nullptr;
    QAction* mniWebsite = nullptr;
    QAction* mniDownloadUpdate = nullptr;
    QAction* mniEmail = nullptr;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A folder, or a picture meaning its folder, dropped from a file manager
    // goes into the folder box.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateSetupGroup(QWidget* parent);
    void CreateResultGroup(QWidget* parent);
    void CreateMenu();
    void ConnectHandlers();
    void SetRunInProgress(bool running);
    // Asks before a run replaces originals or overwrites files that exist.
    bool ConfirmReplacing();
    void ShowResultPlacement();
    // Closes the progress window (which cancels the run) or the selection
    // window; the main window closes when the run is over.
    void CancelRunAndClose();
    // What "&Anzeigen" opens for a result line; empty when nothing.
    static QString PathToShow(const QListWidgetItem* item);
    // The website, update page or photo ordering; says so when it cannot.
    void OpenWebPage(const QString& url);
    // Shows text in the status bar; where the bar is too short for it, the
    // whole of fullText is the bar's tool tip.
    void ShowStatus(const QString& text, const QString& fullText);
    // The open list of a drop-down is as wide as its longest entry.
    static void WidenListToEntries(QComboBox* combo);
    void FitFileTypesToEntries();
    static int32_t NumberBoxValue(const QSpinBox* box);

    TDesktopFrontEnd frontEnd_;
    TSession session_;
    // Stored and switched choices that have no control in the window.
    TMetadataChoices metadataChoices_;
    TScalingChoices scalingChoices_;
    TOutputChoices outputChoices_;
    std::string folderDialogFileName_;
    bool quitRequested_ = false;
    bool settingsSaved_ = false;
    bool runInProgress_ = false;
    bool closeAfterRun_ = false;
    QString lastRunOutcome_;
};

}  // namespace corvalin

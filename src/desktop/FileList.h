// The selection window "Dateien markieren...": every picture the search
// found, each with a tick; "&Weiter" converts the ticked ones.
#pragma once

#include <functional>
#include <set>
#include <string>

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;
class QStatusBar;

namespace corvalin {

class TfrmFileList : public QDialog {
public:
    // The window is modal for mainWindow only, so the progress window shown
    // beside it during a run stays usable.
    explicit TfrmFileList(QWidget* mainWindow);
    ~TfrmFileList() override;

    // Empties the list; the files unticked in it are remembered, so that a
    // new search that finds them again leaves them unticked (TickFound).
    void Clear();
    // Each file takes its place by its folder, then by its name within it,
    // and shows its name, size and folder.
    void Add(const std::string& path);
    void TickAll(bool ticked);
    // Ticks every entry but those the user unticked before the last Clear.
    void TickFound();
    int Count() const;
    std::string Entry(int index) const;
    bool Ticked(int index) const;

    // "&Weiter": runs the conversion to its end, then closes the window.
    void btnConvertClick();
    void lbxResultClick();
    // The status text shown whenever the list changes or the window shows.
    void ShowEntryCount();

    // While the conversion runs, its list is fixed: the entries and buttons
    // are locked and the window refuses to close, so it stays in front of
    // the main window until the summary is written.
    void SetRunning(bool running);
    bool Running() const { return running_; }

    // What "&Weiter" runs (the main window's RunConversion); false when the
    // run did not start, and the list stays open.
    std::function<bool()> runConversion;

    QLabel* labTitle = nullptr;
    QListWidget* lbxResult = nullptr;
    QPushButton* btnConvert = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnMarkAll = nullptr;
    QPushButton* btnMarkNone = nullptr;
    QStatusBar* pnlStatusBar = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    bool running_ = false;
    std::set<std::string> unticked_;
};

// Created on first use, never destroyed before the program ends; null until then.
TfrmFileList* FileListWindow();
// Creates the window if needed; a failure shows its text and returns null.
TfrmFileList* EnsureFileList(QWidget* mainWindow);

}  // namespace corvalin

// The one interface through which the conversion engine reaches the windows.
// The Qt windows implement it for the desktop; ConsoleFrontEnd implements it
// for runs without a display. All calls happen on the one user-interface
// thread; none of them may throw.
#pragma once

#include <cstdint>
#include <string>

#include "app/ConversionSettings.h"
#include "common/Const.h"
#include "overlay/CopyrightText.h"

namespace corvalin {

class TBitmap;

// One file's result as a script reads it.
struct TFileReport {
    enum TStatus { Converted, Skipped, Failed, Planned };  // Planned: named by a dry run
    std::string Source;
    std::string Target;  // empty when a failure came before the target was named
    TStatus Status = Converted;
    std::string Reason;  // the failure's message
    int64_t BytesBefore = 0;
    int64_t BytesAfter = 0;
    int32_t Width = 0;  // of the picture written; 0 when none was
    int32_t Height = 0;
    std::string Warning;  // a converted file's warning code ("source-damaged"); empty for none
};

class TFrontEnd {
public:
    virtual ~TFrontEnd() = default;

    // --- messages -------------------------------------------------------
    // A message box with an OK button (headless: a line on standard error).
    virtual void ShowMessage(const std::string& text) = 0;
    // The help text of the help switches (headless: standard output).
    // Lines are separated by "\r".
    virtual void ShowHelp(const std::string& text) = 0;
    // Lets the window system deliver pending messages (processEvents).
    virtual void ProcessMessages() = 0;

    // --- the settings as the main window's controls hold them ------------
    // Read at the moment of use: a change during a run counts from the next
    // read. ApplySettings writes every value into its control, as if the user
    // had changed it (LoadSettings and the command line use it).
    virtual TConversionSettings CurrentSettings() = 0;
    virtual void ApplySettings(const TConversionSettings& settings) = 0;
    // Shows what UpdateControls computed (mark-all box, "auto" labels,
    // quality box, preview menu check mark).
    virtual void ShowControlStates(const TControlStates& states) = 0;
    // The folder dialog's initial file name, set once by LoadSettings.
    virtual void SetFolderDialogFileName(const std::string& fileName) = 0;

    // --- result list and result labels of the main window ----------------
    virtual void ClearResults() = 0;
    // Adds one line. For the failure line of a file, reason holds the error's
    // message; the windows keep it beside the line (e.g. as its tool tip),
    // the console prints it to standard error. Empty for every other line.
    virtual void AddResultLine(const std::string& line, const std::string& reason) = 0;
    // The line of one converted or failed file. The line may show its path
    // shortened; path is the full path of the file it names, which the
    // windows keep with the line (its tool tip, and what "&Anzeigen" opens).
    virtual void AddFileResultLine(const std::string& line, const std::string& path,
                                   const std::string& reason)
    {
        (void)path;
        AddResultLine(line, reason);
    }
    virtual void SetResultLabels(const std::string& files, const std::string& before,
                                 const std::string& after) = 0;
    // Every file's result once more, with its numbers, right after its line.
    virtual void ReportFile(const TFileReport& report) { (void)report; }

    // --- selection window (created on first use) -------------------------
    virtual void ClearSelection() = 0;                    // create-and-empty
    virtual void AddSelection(const std::string& path) = 0;
    virtual void TickAllSelection() = 0;                  // "Alle markieren"
    virtual int SelectionCount() = 0;
    virtual std::string SelectionEntry(int index) = 0;
    virtual bool SelectionTicked(int index) = 0;
    // Shows the window modally (interactive runs); its "&Weiter" calls
    // RunConversion of the session and then closes the window.
    virtual void ShowSelection() = 0;

    // --- progress window (created on first use) --------------------------
    virtual void ResetProgress() = 0;                     // create; bar min 0, position 0
    virtual void SetProgressMaximum(int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    // The file label: the front end shortens path with FitPathToWidth to
    // kProgressLabelWidth pixels in the label's font. Empty path: empty label.
    virtual void SetProgressFile(const std::string& path) = 0;
    virtual void SetProgressPreviewBox(bool ticked) = 0;  // cbxPreview
    virtual void ShowProgress() = 0;                      // not modal
    virtual void RepaintProgress() = 0;                   // paints at once, delivers nothing else
    // The preview image takes a copy of the picture; repaints at once.
    virtual void ShowPreviewPicture(const TBitmap& picture) = 0;
    // False once the user closed the window (Abbrechen, Esc, close box).
    virtual bool ProgressVisible() = 0;
    virtual void CloseProgress() = 0;

    // --- overlay dialog ---------------------------------------------------
    // Creates the overlay dialog if needed, puts record into its controls
    // (LoadOverlaySettings) and writes them back (StoreOverlaySettings), so
    // that record carries the dialog's text font and an alignment of 5 or 9.
    virtual void TransferOverlay(TCopyrightText& record) = 0;

    // --- main window -------------------------------------------------------
    virtual void HideMainWindow() = 0;
    // Asks the program to end once the message loop runs.
    virtual void RequestQuit() = 0;
};

}  // namespace corvalin

// The about window: program name and version, and buttons that write to the
// maker and visit the maker's website.
#pragma once

#include <string>

#include <QDialog>

class QLabel;
class QPushButton;
class QToolButton;

namespace corvalin {

class TfrmAbout : public QDialog {
public:
    TfrmAbout();

    QLabel* labName = nullptr;
    QLabel* labVersion = nullptr;
    QLabel* labAutor = nullptr;
    QLabel* imgLogo = nullptr;
    QToolButton* btnEmail = nullptr;
    QToolButton* btnWebsite = nullptr;
    QPushButton* btnClose = nullptr;

    void btnEmailClick();
    void btnWebsiteClick();
    void btnCloseClick();
};

// Created on first use, never destroyed before the program ends; null until then.
TfrmAbout* AboutWindow();

// Shows the about window modally with these values. When the window cannot
// be created or shown, a message box names the program and its version.
void ShowAbout(const std::string& name, const std::string& version,
               const std::string& website, const std::string& email);

}  // namespace corvalin

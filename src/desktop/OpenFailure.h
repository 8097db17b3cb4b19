// What the user is told when a file, folder, web page or e-mail could not be
// handed to the desktop: no opener is installed, or it could not be started.
#pragma once

#include <string>

class QWidget;

namespace corvalin {

enum class TOpenTarget { File, Folder, WebPage, Mail };

// The message naming what could not be opened, for example
// Die Datei "/home/anna/a.jpg" konnte nicht geöffnet werden!
std::string CannotOpenText(TOpenTarget target, const std::string& name);

// Shows that message in a message box over parent.
void SayCannotOpen(QWidget* parent, TOpenTarget target, const std::string& name);

}  // namespace corvalin

// Small pieces every window of the program shares: text conversion, the
// program's default font, hints, Esc closing and centring.
#pragma once

#include <string>

#include <QFont>
#include <QString>

class QAction;
class QCoreApplication;
class QWidget;

namespace corvalin {

// Texts of the library are UTF-8.
inline QString Q(const std::string& text) { return QString::fromStdString(text); }
inline std::string S(const QString& text) { return text.toStdString(); }

// Qt's own dialogs (files, colours, the buttons of message boxes) speak
// German like the program, when Qt's translations are installed.
void UseGermanQtTexts(QCoreApplication& application);

// A font by face name and height in pixels, looked up through fontconfig
// (which gives the nearest installed face for names such as "Arial").
QFont PixelFont(const QString& family, int pixels, bool bold = false);
// The windows' default font: "MS Sans Serif", 11 pixels.
QFont DefaultWindowFont();

// A hint "short|long": the short part is the tool tip, the long part goes to
// the status bar; a hint without "|" is used whole for both.
QString HintShortPart(const QString& hint);
QString HintLongPart(const QString& hint);
// Sets tool tip and status tip of a control from its hint. The status tip
// keeps the whole hint; the main window's DisplayHint takes its long part.
void SetHint(QWidget* control, const QString& hint);
void SetHint(QAction* action, const QString& hint);

// Esc closes the window wherever the focus is inside it: the window sees the
// key before its controls.
void CloseOnEscape(QWidget* window);

// Fixes the client area to width x height.
void FixClientSize(QWidget* window, int width, int height);
// Centres the window on the screen it is on (or on the primary screen).
void CenterOnScreen(QWidget* window);
// A resizable window: shrinks it to the room its screen offers (the frame
// the window manager adds included) and centres it there, its title bar never
// above or left of the room.
void FitOnScreen(QWidget* window);
// Centres the window over another one (when parent is null, on the screen).
void CenterOver(QWidget* window, const QWidget* parent);

}  // namespace corvalin

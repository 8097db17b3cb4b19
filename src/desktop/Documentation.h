// The documentation window: a fixed help text, shown beside the main window.
#pragma once

#include <QStringList>
#include <QWidget>

class QTextEdit;

namespace corvalin {

class TfrmDocumentation : public QWidget {
public:
    explicit TfrmDocumentation(QWidget* centreOver);

    QTextEdit* memoDocumentation = nullptr;
};

// The help text, one line of the text per entry.
const QStringList& DocumentationParagraphs();
// The lines joined into paragraphs that the window wraps at its own width:
// without this every line would end where the text was once broken by hand,
// and the wrapped lines would be ragged.
QStringList FlowingText(const QStringList& lines);

// Created on first use, never destroyed before the program ends; null until then.
TfrmDocumentation* DocumentationWindow();

// Shows the documentation window without waiting, brought to the front when
// it is already open. Failures show "Hilfe kann nicht angezeigt werden: ".
void ShowDocumentation(QWidget* mainWindow = nullptr);

}  // namespace corvalin

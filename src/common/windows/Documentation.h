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

// The help text, one paragraph per entry.
const QStringList& DocumentationParagraphs();

// Created on first use, never destroyed before the program ends; null until then.
TfrmDocumentation* DocumentationWindow();

// Shows the documentation window without waiting, brought to the front when
// it is already open. Failures show "Hilfe kann nicht angezeigt werden: ".
void ShowDocumentation(QWidget* mainWindow = nullptr);

}  // namespace corvalin

#include "desktop/Documentation.h"

#include <exception>

#include <QMessageBox>
#include <QTextEdit>
#include <QVBoxLayout>

#include "desktop/WindowSupport.h"

namespace corvalin {
namespace {

TfrmDocumentation* frmDocumentation = nullptr;

}  // namespace

const QStringList& DocumentationParagraphs()
{
    // Several paragraphs end with a blank; they are kept as written.
    static const QStringList paragraphs = {
        QStringLiteral("Hilfe zum Corvalin"),
        QStringLiteral("_________________________________"),
        QString(),
        QStringLiteral("Hestrad Corvalin ist ein Tool, um mehrere Bild-Dateien (*.jpg, *.gif, "
                       "*.tif, *.bmp, *.ico, *.png, "),
        QStringLiteral("etc) in eine andere Auflösung oder ein anderes Format zu konvertieren. "
                       "Dies ist besonders für "),
        QStringLiteral("Benutzer einer Digitalkamera sinnvoll, um die Bilder bestmöglich zu "
                       "archivieren."),
        QString(),
        QStringLiteral("Zusätzlich sind weitere Funktionen, wie das automatische Drehen oder "
                       "Einfügen von Copyright-"),
        QStringLiteral("Texten möglich."),
        QString(),
        QStringLiteral("Mit dem Corvalin können Sie Ihre ganzen Urlaubsfotos mit nur einem Klick "
                       "verkleineren, "),
        QStringLiteral("um sie anschliessend per eMail zu verschicken."),
        QString(),
        QStringLiteral("Die Batchkonvertierung erlaubt das automatisierte Bearbeiten von Bilder "
                       "von der "),
        QStringLiteral("Kommandozeile aus."),
    };
    return paragraphs;
}

QStringList FlowingText(const QStringList& lines)
{
    // A line ending in a blank or a hyphen ("Copyright-") goes on in the next.
    QStringList paragraphs;
    bool continues = false;
    for (const QString& line : lines) {
        if (continues)
            paragraphs.last() += line;
        else
            paragraphs << line;
        continues = line.endsWith(QLatin1Char(' ')) || line.endsWith(QLatin1Char('-'));
    }
    return paragraphs;
}

TfrmDocumentation::TfrmDocumentation(QWidget* centreOver)
{
    setWindowTitle(QStringLiteral("Corvalin - Dokumentation"));
    setFont(DefaultWindowFont());
    resize(473, 341);

    memoDocumentation = new QTextEdit(this);
    memoDocumentation->setAcceptRichText(false);
    memoDocumentation->setReadOnly(true);
    memoDocumentation->setTabChangesFocus(false);
    memoDocumentation->setLineWrapMode(QTextEdit::WidgetWidth);
    memoDocumentation->setPlainText(FlowingText(DocumentationParagraphs()).join(QLatin1Char('\n')));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(memoDocumentation);
    CloseOnEscape(this);
    CenterOver(this, centreOver);
}

TfrmDocumentation* DocumentationWindow()
{
    return frmDocumentation;
}

void ShowDocumentation(QWidget* mainWindow)
{
    try {
        if (frmDocumentation == nullptr)
            frmDocumentation = new TfrmDocumentation(mainWindow);
        frmDocumentation->show();
        frmDocumentation->raise();
        frmDocumentation->activateWindow();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Corvalin"),
                              QStringLiteral("Hilfe kann nicht angezeigt werden: ") +
                                  QString::fromStdString(error.what()));
    }
}

}  // namespace corvalin

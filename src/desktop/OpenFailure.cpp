#include "desktop/OpenFailure.h"

#include <QMessageBox>

#include "desktop/WindowSupport.h"

namespace corvalin {

std::string CannotOpenText(TOpenTarget target, const std::string& name)
{
    const std::string quoted = "\"" + name + "\"";
    switch (target) {
    case TOpenTarget::File: return "Die Datei " + quoted + " konnte nicht geöffnet werden!";
    case TOpenTarget::Folder: return "Das Verzeichnis " + quoted + " konnte nicht geöffnet werden!";
    case TOpenTarget::WebPage: return "Die Webseite " + quoted + " konnte nicht geöffnet werden!";
    case TOpenTarget::Mail:
        return "Das E-Mail-Programm konnte für " + quoted + " nicht gestartet werden!";
    }
    return {};
}

void SayCannotOpen(QWidget* parent, TOpenTarget target, const std::string& name)
{
    QMessageBox::warning(parent, QStringLiteral("Corvalin"), Q(CannotOpenText(target, name)));
}

}  // namespace corvalin

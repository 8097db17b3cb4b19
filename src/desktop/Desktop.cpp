#include "desktop/Desktop.h"

#include <exception>
#include <string>
#include <vector>

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include "desktop/MainWindow.h"
#include "desktop/WindowSupport.h"

namespace corvalin {
namespace {

// Errors that no command handled reach the program's general error report:
// a message box with the error's text, and the program goes on.
class TCorvalinApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            QMessageBox::critical(nullptr, QStringLiteral("Corvalin"), Q(error.what()));
        }
        return false;
    }
};

}  // namespace

int RunDesktop(int argc, char** argv)
{
    TCorvalinApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalin"));
    QApplication::setApplicationDisplayName(QStringLiteral("Corvalin"));
    QApplication::setFont(DefaultWindowFont());
    // The installed desktop entry and icon carry this name (data/); with it
    // the desktop shows the running window under Corvalin's menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.hestrad.Corvalin"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("example.hestrad.Corvalin")));
    UseGermanQtTexts(application);

    TfrmCorvalin frmCorvalin;
    frmCorvalin.FormCreate(std::vector<std::string>(argv + 1, argv + argc));
    if (frmCorvalin.QuitRequested()) {
        const TSession& session = frmCorvalin.Session();
        const bool anyFailed =
            session.AutoConvert && (session.LastRun.failed > 0 || session.FolderMissing);
        return anyFailed ? 1 : 0;
    }
    // Once before showing (the frame guessed) and once after (the frame
    // known), so that the window never opens beyond the screen.
    FitOnScreen(&frmCorvalin);
    frmCorvalin.show();
    QCoreApplication::processEvents();
    FitOnScreen(&frmCorvalin);
    return application.exec();
}

}  // namespace corvalin

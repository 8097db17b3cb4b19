// Opens every window of the program with sample content under a real X
// server and saves what the screen shows, for scripts/screenshots.sh.
// Usage: corvalin_screenshots OUTPUT_FOLDER
#include <cstdio>
#include <filesystem>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "WindowTestSupport.h"
#include "app/windows/FileList.h"
#include "app/windows/MainWindow.h"
#include "app/windows/Progress.h"
#include "common/windows/About.h"
#include "common/windows/Documentation.h"
#include "common/windows/WindowSupport.h"
#include "overlay/windows/Copyright.h"
#include "overlay/windows/FontDialog.h"
#include "formats/BitmapEx.h"

using namespace corvalin;

namespace {

QString outputFolder;

void Shoot(QWidget* window, const QString& name)
{
    window->raise();
    QTest::qWait(300);
    const QPixmap shot = window->screen()->grabWindow(window->winId());
    const QString file = outputFolder + QLatin1Char('/') + name + QStringLiteral(".png");
    shot.save(file);
    std::printf("%s\n", qPrintable(file));
}

void ShootNextModal(const QString& name)
{
    windowtest::OnNextModal([name](QWidget* modal) { Shoot(modal, name); });
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setFont(DefaultWindowFont());
    UseGermanQtTexts(application);
    if (argc < 2)
        return 2;
    outputFolder = QString::fromLocal8Bit(argv[1]);

    testsupport::TempDir dir;
    windowtest::PrivateSettings settings;
    const std::string folder = dir.Path() + "/Urlaubsfotos Südtirol/";
    std::filesystem::create_directories(folder + "Tag 2");
    windowtest::WriteBmp(folder + "Dolomiten.bmp", 640, 480, 0x4477AA);
    windowtest::WriteBmp(folder + "Brücke.bmp", 480, 640, 0xAA7744);
    windowtest::WriteBmp(folder + "Tag 2/Hütte.bmp", 800, 600, 0x44AA77);

    TfrmCorvalin window;
    window.FormCreate({"/dir=" + folder, "/text=© Familie Müller"});
    window.show();
    CenterOnScreen(&window);
    Shoot(&window, QStringLiteral("1-main"));
    int menuNumber = 0;
    for (QAction* entry : window.menuBar()->actions()) {
        QMenu* menu = entry->menu();
        menu->popup(window.mapToGlobal(window.menuBar()->actionGeometry(entry).bottomLeft()));
        Shoot(menu, QStringLiteral("1-menu-%1").arg(++menuNumber));
        menu->hide();
    }

    windowtest::OnNextModal([](QWidget* modal) {
        auto* list = static_cast<TfrmFileList*>(modal);
        Shoot(list, QStringLiteral("2-selection"));
        list->lbxResult->setCurrentRow(1);
        list->lbxResultClick();
        Shoot(list, QStringLiteral("2-selection-clicked"));
        QTest::mouseClick(list->btnConvert, Qt::LeftButton);
    });
    window.btnConvertClick();
    window.lbxResult->setCurrentRow(12);
    window.lbxResultClick();
    Shoot(&window, QStringLiteral("3-main-after-run"));

    // The progress window as a run shows it, with the last picture as preview.
    window.ResetProgress();
    window.SetProgressMaximum(3);
    window.SetProgressPosition(2);
    window.SetProgressPreviewBox(true);
    window.SetProgressFile(folder + "Tag 2/Hütte.bmp");
    window.ShowProgress();
    TBitmapEx picture;
    picture.LoadFromFileEx(folder + "Tag 2/Neu_Hütte.bmp");
    window.ShowPreviewPicture(picture);
    Shoot(ProgressWindow(), QStringLiteral("4-progress"));
    window.SetProgressPreviewBox(false);
    Shoot(ProgressWindow(), QStringLiteral("4-progress-small"));
    window.CloseProgress();

    TfrmCopyright* overlay = EnsureOverlayDialog(window.Session().Overlay);
    overlay->LoadSample(QString::fromStdString(folder + "Dolomiten.bmp"));
    ShootNextModal(QStringLiteral("5-overlay"));
    overlay->exec();

    TfrmFontDialog fontDialog;
    ShootNextModal(QStringLiteral("6-font"));
    fontDialog.Choose();

    ShootNextModal(QStringLiteral("7-about"));
    window.btnAboutClick();

    ShowDocumentation(&window);
    Shoot(DocumentationWindow(), QStringLiteral("8-documentation"));
    DocumentationWindow()->close();

    ShootNextModal(QStringLiteral("9-help"));
    window.miCommandLineHelpClick();

    ShootNextModal(QStringLiteral("10-folder-dialog"));
    window.btnBrowseClick();
    return 0;
}

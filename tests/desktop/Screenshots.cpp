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
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "WindowTestSupport.h"
#include "desktop/FileList.h"
#include "app/ResultPlacement.h"
#include "desktop/MainWindow.h"
#include "desktop/Progress.h"
#include "desktop/About.h"
#include "desktop/Documentation.h"
#include "desktop/WindowSupport.h"
#include "desktop/Copyright.h"
#include "desktop/FontDialog.h"
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
    // Deep folders with long names, as a camera's import tool makes them.
    const std::string deep = folder + "2004 Sommerferien bei den Großeltern in Kastelruth/"
                                      "Tag 2 – Wanderung über die Seiser Alm zum Schlern/";
    std::filesystem::create_directories(folder + "Tag 2");
    std::filesystem::create_directories(deep);
    windowtest::WriteBmp(folder + "Dolomiten.bmp", 640, 480, 0x4477AA);
    windowtest::WriteBmp(folder + "Brücke.bmp", 480, 640, 0xAA7744);
    windowtest::WriteBmp(folder + "Tag 2/Hütte.bmp", 800, 600, 0x44AA77);
    for (int i = 1; i <= 6; ++i)
        windowtest::WriteBmp(deep + "Panorama vom Gipfelkreuz mit Blick ins Grödnertal " +
                                 std::to_string(i) + ".bmp",
                             900, 600, 0x225588 + 0x101010 * i);
    testsupport::WriteBytes(folder + "Kaputtes Bild vom letzten Abend.bmp", {'B', 'M', 0, 0});

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
    window.cboConvertFormat->showPopup();
    Shoot(QApplication::activePopupWidget(), QStringLiteral("1-format-list"));
    window.cboConvertFormat->hidePopup();
    window.cboColorDepth->showPopup();
    Shoot(QApplication::activePopupWidget(), QStringLiteral("1-depth-list"));
    window.cboColorDepth->hidePopup();

    // A whole run: the selection with its long paths, the progress window
    // while the files convert (with the preview of the last one), the result.
    windowtest::OnNextModal([](QWidget* modal) {
        auto* list = static_cast<TfrmFileList*>(modal);
        Shoot(list, QStringLiteral("2-selection"));
        list->lbxResult->setCurrentRow(4);
        list->lbxResultClick();
        Shoot(list, QStringLiteral("2-selection-clicked"));
        auto* watch = new QTimer;
        watch->setInterval(0);
        QObject::connect(watch, &QTimer::timeout, [watch, list] {
            TfrmProgress* progress = ProgressWindow();
            if (progress == nullptr || progress->pnlProgressBar->value() < 4)
                return;
            watch->stop();
            watch->deleteLater();
            Shoot(progress, QStringLiteral("4-progress"));
            Shoot(list, QStringLiteral("4-selection-during-run"));
        });
        watch->start();
        QTest::mouseClick(list->btnConvert, Qt::LeftButton);
    });
    window.btnConvertClick();
    Shoot(&window, QStringLiteral("3-main-after-run"));
    for (int row = 0; row < window.lbxResult->count(); ++row)
        if (window.lbxResult->item(row)->text().contains(QStringLiteral("konnte nicht"))) {
            window.lbxResult->setCurrentRow(row);
            window.lbxResultClick();
        }
    Shoot(&window, QStringLiteral("3-main-failed-line"));

    TfrmCopyright* overlay = EnsureOverlayDialog(window.Session().Overlay);
    overlay->LoadSample(QString::fromStdString(folder + "Dolomiten.bmp"));
    ShootNextModal(QStringLiteral("5-overlay"));
    overlay->exec();
    TFont large;
    large.Name = "DejaVu Sans";
    large.Height = -28;
    large.Bold = true;
    overlay->ApplyFont(large);
    ShootNextModal(QStringLiteral("5-overlay-large-font"));
    overlay->exec();

    TfrmFontDialog fontDialog;
    ShootNextModal(QStringLiteral("6-font"));
    fontDialog.Choose(TFont{});

    ShootNextModal(QStringLiteral("7-about"));
    window.btnAboutClick();

    ShowDocumentation(&window);
    Shoot(DocumentationWindow(), QStringLiteral("8-documentation"));
    DocumentationWindow()->close();

    ShootNextModal(QStringLiteral("9-help"));
    window.miCommandLineHelpClick();

    ShootNextModal(QStringLiteral("10-folder-dialog"));
    window.btnBrowseClick();

    ShootNextModal(QStringLiteral("11-more-settings"));
    window.btnMoreSettingsClick();
    bool dontAskAgain = false;
    ShootNextModal(QStringLiteral("12-replace-question"));
    window.askReplacing(ReplacementQuestion({12, 3}, true), dontAskAgain);
    ShootNextModal(QStringLiteral("13-preset-name"));
    window.askPresetName();

    // Enlarged, the result list takes the room; shrunk, the content scrolls.
    window.resize(window.width() + 360, window.height() + 240);
    CenterOnScreen(&window);
    Shoot(&window, QStringLiteral("14-main-enlarged"));
    window.resize(480, 360);
    Shoot(&window, QStringLiteral("14-main-small"));
    return 0;
}

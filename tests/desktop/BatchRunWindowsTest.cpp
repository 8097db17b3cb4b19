// An interactive batch run driven through the windows: "&Umwandeln...", the
// selection window, "&Weiter", the progress window and the summary.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QGroupBox>
#include <QAction>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "desktop/FileList.h"
#include "desktop/MainWindow.h"
#include "desktop/Progress.h"
#include "formats/BitmapEx.h"

using namespace corvalin;
namespace fs = std::filesystem;

namespace {

QStringList ResultLines(const TfrmCorvalin& window)
{
    QStringList lines;
    for (int i = 0; i < window.lbxResult->count(); ++i)
        lines << window.lbxResult->item(i)->text();
    return lines;
}

class BatchRunWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = dir.Path() + "/Bilder Übersicht/";
        fs::create_directories(folder + "unten");
        windowtest::WriteBmp(folder + "a.bmp", 64, 48, 0x3366CC);
        windowtest::WriteBmp(folder + "b.bmp", 40, 30, 0xCC3333);
        windowtest::WriteBmp(folder + "unten/c.bmp", 32, 64, 0x33CC33);
        testsupport::WriteBytes(folder + "kaputt.bmp", {'B', 'M', 0, 0, 0, 0});
        // Height 24, fit to the height, copies, only *.bmp.
        window.FormCreate({"/dir=" + folder, "/height=24", "/adapt=3", "/copy=1", "/recursiv=1"});
        for (int i = 0; i < window.lbxFileTypes->count(); ++i)
            window.lbxFileTypes->item(i)->setCheckState(
                window.lbxFileTypes->item(i)->text() == QStringLiteral("*.bmp") ? Qt::Checked : Qt::Unchecked);
        window.show();
    }

    testsupport::TempDir dir;
    windowtest::PrivateSettings settings;
    std::string folder;
    TfrmCorvalin window;
};

}  // namespace

TEST_F(BatchRunWindowsTest, SelectedFilesAreConvertedWithPreviewAndSummarised)
{
    QString status;
    int listed = 0;
    windowtest::OnNextModal([&](QWidget* modal) {
        auto* list = dynamic_cast<TfrmFileList*>(modal);
        ASSERT_NE(list, nullptr);
        status = list->pnlStatusBar->currentMessage();
        listed = list->Count();
        for (int i = 0; i < list->Count(); ++i)
            if (list->Entry(i).ends_with("/b.bmp"))
                list->lbxResult->item(i)->setCheckState(Qt::Unchecked);
        QTest::mouseClick(list->btnConvert, Qt::LeftButton);
        EXPECT_FALSE(list->isVisible());
    });
    QTest::mouseClick(window.btnConvert, Qt::LeftButton);

    EXPECT_EQ(listed, 4);
    EXPECT_EQ(status, QStringLiteral("4 Bilddateien gefunden"));
    const QStringList lines = ResultLines(window);
    ASSERT_GE(lines.size(), 12) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Suche ")));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("*.bmp")));
    EXPECT_EQ(lines[1], QString(59, QLatin1Char('_')));
    EXPECT_EQ(lines.filter(QStringLiteral("b.bmp")).size(), 0);
    EXPECT_EQ(lines.filter(QStringLiteral("Neu_a.bmp: ")).size(), 1);
    EXPECT_EQ(lines.filter(QStringLiteral("Neu_c.bmp: ")).size(), 1);
    const QStringList failed = lines.filter(QStringLiteral("konnte nicht konvertiert werden!"));
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].contains(QStringLiteral("kaputt.bmp")));
    const int failedRow = lines.indexOf(failed[0]);
    EXPECT_FALSE(window.lbxResult->item(failedRow)->toolTip().isEmpty());
    EXPECT_EQ(lines.last(), window.labResultSizeAfter->text());
    EXPECT_TRUE(lines.contains(QStringLiteral("2 Dateien gesamt")));
    EXPECT_EQ(window.labResultFiles->text(), QStringLiteral("2 Dateien"));

    TBitmapEx converted;
    converted.LoadFromFileEx(folder + "Neu_a.bmp");
    EXPECT_EQ(converted.Width(), 32);
    EXPECT_EQ(converted.Height(), 24);
    EXPECT_TRUE(fs::exists(folder + "unten/Neu_c.bmp"));
    EXPECT_FALSE(fs::exists(folder + "Neu_b.bmp"));

    TfrmProgress* progress = ProgressWindow();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(progress->pnlProgressBar->maximum(), 4);
    EXPECT_TRUE(progress->cbxPreview->isChecked());
    EXPECT_EQ(progress->height(), TfrmProgress::kLargeHeight);
    EXPECT_FALSE(progress->imgPreview->pixmap().isNull());
}

TEST_F(BatchRunWindowsTest, ClosingTheProgressWindowStopsTheRunBetweenFiles)
{
    windowtest::OnNextModal([](QWidget* modal) {
        auto* list = static_cast<TfrmFileList*>(modal);
        // Fires at the first delivery of messages inside the run, while the
        // first file is about to be converted.
        QTimer::singleShot(0, [] { QTest::mouseClick(ProgressWindow()->btnCancel, Qt::LeftButton); });
        QTest::mouseClick(list->btnConvert, Qt::LeftButton);
    });
    window.btnConvertClick();
    const QStringList lines = ResultLines(window);
    EXPECT_EQ(lines.filter(QStringLiteral(" ==> ")).size() + lines.filter(QStringLiteral("konnte nicht")).size(), 1)
        << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("Zusammenfassung:")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Abgebrochen nach 1 von 4 Dateien"))) << lines.join('\n').toStdString();
    EXPECT_TRUE(window.statusBar()->currentMessage().startsWith(QStringLiteral("Abgebrochen: ")))
        << window.statusBar()->currentMessage().toStdString();
    // A hint under the mouse leaves the outcome in the status bar.
    QTest::mouseMove(window.edtDirectory);
    EXPECT_TRUE(window.statusBar()->currentMessage().startsWith(QStringLiteral("Abgebrochen: ")));
}

TEST_F(BatchRunWindowsTest, CancelWithBusyWorkersFinishesWhatIsUnderWayAndLeavesOnlyWholePictures)
{
    const std::string large = dir.Path() + "/gross/";
    fs::create_directories(large);
    constexpr int kFiles = 10;
    for (int i = 0; i < kFiles; ++i)
        windowtest::WriteBmp(large + "bild" + std::to_string(i) + ".bmp", 1200, 900, 0x204080 + 0x10 * i);
    TConversionSettings settings = window.CurrentSettings();
    settings.Directory = large;
    settings.FitMode = 0;  // size kept: every file is a whole picture to read, copy and write
    window.ApplySettings(settings);
    window.Session().Threads = 2;

    // "Abbrechen" once a third file has started: both workers busy and one
    // file waiting for them.
    int startedAtCancel = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        TfrmProgress* progress = ProgressWindow();
        if (progress == nullptr || !progress->isVisible() || progress->pnlProgressBar->value() < 3)
            return;
        startedAtCancel = progress->pnlProgressBar->value();
        watch.stop();
        QTest::mouseClick(progress->btnCancel, Qt::LeftButton);
    });
    windowtest::OnNextModal([&watch](QWidget* modal) {
        watch.start(0);
        QTest::mouseClick(static_cast<TfrmFileList*>(modal)->btnConvert, Qt::LeftButton);
    });
    window.btnConvertClick();

    ASSERT_EQ(startedAtCancel, 3);
    EXPECT_EQ(ProgressWindow()->pnlProgressBar->value(), startedAtCancel) << "a file started after the cancel";
    EXPECT_TRUE(window.statusBar()->currentMessage().startsWith(QStringLiteral("Abgebrochen: ")));
    const QStringList lines = ResultLines(window);
    EXPECT_EQ(lines.filter(QStringLiteral(" ==> ")).size(), startedAtCancel) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("3 Dateien gesamt")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Abgebrochen nach 3 von 10 Dateien")));

    // Only the sources and the three copies: nothing half-written, no
    // temporary file; each copy a whole picture to an independent reader.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(large))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected;
    for (int i = 0; i < kFiles; ++i)
        expected.push_back("bild" + std::to_string(i) + ".bmp");
    std::string copies;
    for (const std::string name : {"Neu_bild0.bmp", "Neu_bild1.bmp", "Neu_bild2.bmp"}) {
        expected.push_back(name);
        copies += " " + testsupport::Quote(large + name);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    const testsupport::CommandResult read = testsupport::RunCommand(
        "/usr/bin/python3 -c 'import sys; from PIL import Image\n"
        "for p in sys.argv[1:]:\n im = Image.open(p); im.load(); print(im.size)'" + copies);
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.output, "(1200, 900)\n(1200, 900)\n(1200, 900)\n");

    // The main window starts the next run, which goes to the end; it
    // replaces the three copies of the first, once that was confirmed.
    std::string question;
    window.askReplacing = [&question](const std::string& text, bool&) {
        question = text;
        return true;
    };
    windowtest::OnNextModal([](QWidget* modal) {
        QTest::mouseClick(static_cast<TfrmFileList*>(modal)->btnConvert, Qt::LeftButton);
    });
    QTest::mouseClick(window.btnConvert, Qt::LeftButton);
    EXPECT_TRUE(window.statusBar()->currentMessage().startsWith(QStringLiteral("Fertig: ")))
        << window.statusBar()->currentMessage().toStdString();
    for (int i = 0; i < kFiles; ++i)
        EXPECT_TRUE(fs::exists(large + "Neu_bild" + std::to_string(i) + ".bmp")) << i;
    EXPECT_TRUE(question.starts_with("3 vorhandene Dateien werden")) << question;
}

TEST_F(BatchRunWindowsTest, NothingStartsAnotherRunOrChangesItsListWhileOneIsInProgress)
{
    bool listStayedOpen = false;
    bool listLocked = false;
    bool commandsLocked = false;
    // Closing the main window asks whether to cancel; "Nein" lets the run go on.
    int askedToCancel = 0;
    window.askCancelRun = [&askedToCancel] {
        ++askedToCancel;
        return false;
    };
    windowtest::OnNextModal([&](QWidget* modal) {
        auto* list = static_cast<TfrmFileList*>(modal);
        // Fires inside the run, while the first file is about to convert.
        QTimer::singleShot(0, [&, list] {
            QTest::keyClick(list, Qt::Key_Escape);
            list->close();
            listStayedOpen = list->isVisible();
            listLocked = !list->lbxResult->isEnabled() && !list->btnMarkNone->isEnabled();
            commandsLocked = !window.btnConvert->isEnabled() && !window.mniConvert->isEnabled();
            window.mniConvert->trigger();
            window.btnConvertClick();
            window.close();
        });
        QTest::mouseClick(list->btnConvert, Qt::LeftButton);
    });
    window.btnConvertClick();

    EXPECT_TRUE(listStayedOpen);
    EXPECT_TRUE(listLocked);
    EXPECT_TRUE(commandsLocked);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(askedToCancel, 1);
    const QStringList lines = ResultLines(window);
    EXPECT_EQ(lines.filter(QStringLiteral("Suche ")).size(), 1) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.count(QStringLiteral("Zusammenfassung:")), 1);
    EXPECT_FALSE(fs::exists(folder + "Neu_Neu_a.bmp"));
    EXPECT_TRUE(fs::exists(folder + "Neu_a.bmp"));
    // The progress window stays in front of the run's selection window.
    EXPECT_EQ(ProgressWindow()->parentWidget(), FileListWindow());
    // Once the run is over the commands work again.
    EXPECT_FALSE(FileListWindow()->isVisible());
    EXPECT_TRUE(window.btnConvert->isEnabled());
    EXPECT_TRUE(FileListWindow()->lbxResult->isEnabled());
}

TEST_F(BatchRunWindowsTest, AfterARunTheSummaryIsInViewAndFileLinesOpenTheirFullPath)
{
    for (int i = 0; i < 12; ++i)
        windowtest::WriteBmp(folder + "unten/Bild mit einem langen Namen " + std::to_string(i) + ".bmp",
                             8, 8, 0x808080);
    windowtest::RecordingLauncher launcher;
    windowtest::OnNextModal([](QWidget* modal) {
        QTest::mouseClick(static_cast<TfrmFileList*>(modal)->btnConvert, Qt::LeftButton);
    });
    window.btnConvertClick();

    QListWidget* list = window.lbxResult;
    const QRect last = list->visualItemRect(list->item(list->count() - 1));
    // Rows are as wide as the longest line (a failure with its reason): in
    // view means from top to bottom.
    EXPECT_TRUE(last.top() >= 0 && last.bottom() < list->viewport()->height()) << "the summary is scrolled out of view";
    EXPECT_EQ(window.statusBar()->currentMessage(),
              QStringLiteral("Fertig: 15 Dateien konvertiert, 1 fehlgeschlagen"));
    QTest::mouseMove(window.gbxSetup, QPoint(window.gbxSetup->width() - 4, 6));
    EXPECT_EQ(window.statusBar()->currentMessage(),
              QStringLiteral("Fertig: 15 Dateien konvertiert, 1 fehlgeschlagen"));

    // A line whose path is shortened to "..." still opens its file.
    const int row = ResultLines(window).indexOf(QRegularExpression(QStringLiteral("^\\.\\.\\..*Neu_a\\.bmp: .*")));
    ASSERT_GE(row, 0) << ResultLines(window).join('\n').toStdString();
    const std::string full = folder + "Neu_a.bmp";
    EXPECT_EQ(list->item(row)->toolTip(), QString::fromStdString(full));
    list->setCurrentRow(row);
    QTest::mouseClick(window.btnShowImage, Qt::LeftButton);
    list->scrollToItem(list->item(row));
    emit list->itemDoubleClicked(list->item(row));
    EXPECT_EQ(launcher.calls, (std::vector<std::string>{"xdg-open " + full, "xdg-open " + full}));
}

TEST_F(BatchRunWindowsTest, UntickingThePreviewShrinksTheWindowAndStopsPreviews)
{
    windowtest::OnNextModal([](QWidget* modal) {
        auto* list = static_cast<TfrmFileList*>(modal);
        QTimer::singleShot(0, [] {
            ProgressWindow()->cbxPreview->click();  // during the run
        });
        QTest::mouseClick(list->btnConvert, Qt::LeftButton);
    });
    window.btnConvertClick();
    EXPECT_FALSE(window.Session().Preview);
    EXPECT_FALSE(window.mniPreview->isChecked());
    EXPECT_EQ(ProgressWindow()->height(), TfrmProgress::kSmallHeight);
    EXPECT_TRUE(ProgressWindow()->imgPreview->pixmap().isNull());
}

TEST(ProgressWindowPreview, LargePicturesArriveShrunkAndNeverOverANewerOne)
{
    testsupport::TempDir dir;
    auto load = [&dir](TBitmapEx& picture, const char* name, int width, int height) {
        windowtest::WriteBmp(dir.Path() + "/" + name, width, height, 0x336699);
        picture.LoadFromFileEx(dir.Path() + "/" + name);
    };
    TBitmapEx large;
    TBitmapEx small;
    load(large, "gross.bmp", 1600, 1200);
    load(small, "klein.bmp", 40, 30);
    TfrmProgress* progress = EnsureProgress(nullptr);
    ASSERT_NE(progress, nullptr);
    progress->SetPreviewBox(true);
    progress->show();
    QLabel* preview = progress->imgPreview;

    progress->ShowPicture(large);
    QTRY_COMPARE_WITH_TIMEOUT(preview->pixmap().size(), QSize(366, 275), 10000);

    // A small picture shows at once; the large one before it, still being
    // shrunk, must not cover it when it is done.
    progress->ShowPicture(large);
    progress->ShowPicture(small);
    EXPECT_EQ(preview->pixmap().size(), QSize(40, 30));
    QTest::qWait(300);
    EXPECT_EQ(preview->pixmap().size(), QSize(40, 30));

    // Switched off while a large one is being shrunk: nothing more appears.
    preview->clear();
    progress->ShowPicture(large);
    progress->cbxPreview->click();
    QTest::qWait(300);
    EXPECT_TRUE(preview->pixmap().isNull());
    progress->cbxPreview->click();
    progress->close();
}

TEST(SelectionWindow, ClickedEntryIsShortenedToTheWindowsWidth)
{
    TfrmFileList* list = EnsureFileList(nullptr);
    ASSERT_NE(list, nullptr);
    list->Clear();
    EXPECT_EQ(list->pnlStatusBar->currentMessage(), QStringLiteral("0 Bilddateien gefunden"));
    const QString path = QStringLiteral("/home/anna/Bilder/Urlaub in Südtirol/2004/Tag 3/Seiser Alm.bmp");
    list->Add(path.toStdString());
    list->show();
    list->resize(220, 300);
    list->lbxResult->setCurrentRow(0);
    list->lbxResultClick();
    const QString narrow = list->pnlStatusBar->currentMessage();
    EXPECT_TRUE(narrow.startsWith(QStringLiteral("/.../")) || narrow == QStringLiteral("Seiser Alm.bmp"))
        << narrow.toStdString();
    EXPECT_TRUE(narrow.endsWith(QStringLiteral("Seiser Alm.bmp")));
    list->resize(900, 300);
    list->lbxResultClick();
    EXPECT_EQ(list->pnlStatusBar->currentMessage(), path);
    QTest::keyClick(list->lbxResult, Qt::Key_Escape);
}

TEST_F(BatchRunWindowsTest, AutomaticRunWithADisplayConvertsEverythingAndEndsWithoutSaving)
{
    testsupport::TempDir config;
    const std::string command = "DISPLAY=:99 QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=" +
                                testsupport::Quote(config.Path()) + " " +
                                testsupport::Quote(CORVALIN_BINARY) + " /auto=1 " +
                                testsupport::Quote("/dir=" + folder) + " /height=24 /adapt=3";
    const testsupport::CommandResult result = testsupport::RunCommand(command);
    EXPECT_EQ(result.status, 1);  // kaputt.bmp failed
    EXPECT_TRUE(fs::exists(folder + "Neu_a.bmp"));
    EXPECT_TRUE(fs::exists(folder + "Neu_b.bmp"));
    EXPECT_TRUE(fs::exists(folder + "unten/Neu_c.bmp"));
    EXPECT_FALSE(fs::exists(config.Path() + "/Corvalin/Corvalin.conf"));
}

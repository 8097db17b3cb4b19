// The main window's own commands: the three-state box, hints in the status
// bar, reading result lines back, the overlay box, closing with Esc, and
// what the menu hands to the launcher.
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QDropEvent>
#include <QUrl>
#include <QAbstractItemView>
#include <QFontMetrics>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "app/CommandLine.h"
#include "desktop/MainWindow.h"
#include "desktop/Copyright.h"

using namespace corvalin;
using windowtest::PrivateSettings;
using windowtest::RecordingLauncher;

namespace {

int TickedTypes(const TfrmCorvalin& window)
{
    int ticked = 0;
    for (int i = 0; i < window.lbxFileTypes->count(); ++i)
        ticked += window.lbxFileTypes->item(i)->checkState() == Qt::Checked;
    return ticked;
}

// The list is alphabetical and grows with the formats a build reads.
int TypeRow(const TfrmCorvalin& window, const QString& mask)
{
    for (int i = 0; i < window.lbxFileTypes->count(); ++i)
        if (window.lbxFileTypes->item(i)->text() == mask)
            return i;
    return -1;
}

void ClickLine(TfrmCorvalin& window, int row)
{
    QListWidget* list = window.lbxResult;
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("BROWSER");
        window.FormCreate({});
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    PrivateSettings settings;
    RecordingLauncher launcher;
    TfrmCorvalin window;
};

}  // namespace

TEST_F(MainWindowTest, MarkAllBoxFollowsTheTicksAndTicksFromItsGreyState)
{
    EXPECT_EQ(window.cbxMarkAll->checkState(), Qt::Checked);
    const int all = window.lbxFileTypes->count();
    window.lbxFileTypes->item(TypeRow(window, QStringLiteral("*.pcx")))->setCheckState(Qt::Unchecked);  // a user's tick fires the click
    EXPECT_EQ(window.cbxMarkAll->checkState(), Qt::PartiallyChecked);

    QTest::mouseClick(window.cbxMarkAll, Qt::LeftButton);
    EXPECT_EQ(window.cbxMarkAll->checkState(), Qt::Checked);
    EXPECT_EQ(TickedTypes(window), all);

    QTest::mouseClick(window.cbxMarkAll, Qt::LeftButton);
    EXPECT_EQ(window.cbxMarkAll->checkState(), Qt::Unchecked);
    EXPECT_EQ(TickedTypes(window), 0);
    EXPECT_FALSE(window.edtQuality->isEnabled());  // "*.jpg" no longer ticked

    QTest::mouseClick(window.cbxMarkAll, Qt::LeftButton);
    EXPECT_EQ(TickedTypes(window), all);
    EXPECT_TRUE(window.edtQuality->isEnabled());
}

TEST_F(MainWindowTest, HintOfTheControlUnderTheMouseShowsInTheStatusBar)
{
    EXPECT_EQ(window.statusBar()->currentMessage(), TfrmCorvalin::TitleLine());
    EXPECT_TRUE(TfrmCorvalin::TitleLine().contains(QStringLiteral("Corvalin 2.3")));

    QTest::mouseMove(window.edtDirectory);
    EXPECT_EQ(window.statusBar()->currentMessage(),
              QStringLiteral("Verzeichnis mit Bildern, die konvertiert werden sollen"));
    EXPECT_EQ(window.edtDirectory->toolTip(), window.edtDirectory->statusTip());

    QTest::mouseMove(window.gbxSetup, QPoint(window.gbxSetup->width() - 4, 6));
    EXPECT_EQ(window.statusBar()->currentMessage(), TfrmCorvalin::TitleLine());

    window.DisplayHint(QStringLiteral("Kurz|Die lange Erklärung"));
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("Die lange Erklärung"));
}

TEST_F(MainWindowTest, ResultLinesShowInTheStatusBarAndFileLinesOpenTheirPicture)
{
    window.AddResultLine("Suche /tmp/Bilder/*.bmp", "");
    window.AddResultLine("___________________________________________________________", "");
    window.AddResultLine("/tmp/Bilder/a.bmp: 1,00 KB ==> 0,50 KB", "");
    window.AddResultLine("/tmp/Bilder/kaputt.bmp konnte nicht konvertiert werden!",
                         "Bitmap ist ungültig");
    window.AddResultLine("...Ordnernamen/noch-ein-Ordner/b.bmp: 2,00 KB ==> 1,00 KB", "");

    ClickLine(window, 2);
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("/tmp/Bilder/a.bmp: 1,00 KB ==> 0,50 KB"));
    EXPECT_TRUE(window.btnShowImage->isVisible());
    ClickLine(window, 1);
    EXPECT_EQ(window.statusBar()->currentMessage(), QString());
    EXPECT_FALSE(window.btnShowImage->isVisible());
    ClickLine(window, 2);
    ClickLine(window, 0);
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("Suche /tmp/Bilder/*.bmp"));
    EXPECT_FALSE(window.btnShowImage->isVisible());

    // A failed file's reason is kept with its line.
    ClickLine(window, 3);
    EXPECT_TRUE(window.statusBar()->currentMessage().contains(QStringLiteral("Bitmap ist ungültig")));
    EXPECT_EQ(window.lbxResult->item(3)->toolTip(), QStringLiteral("Bitmap ist ungültig"));

    ClickLine(window, 2);
    QTest::mouseClick(window.btnShowImage, Qt::LeftButton);
    const QRect rect = window.lbxResult->visualItemRect(window.lbxResult->item(2));
    QTest::mouseDClick(window.lbxResult->viewport(), Qt::LeftButton, {}, rect.center());
    // A shortened path names no file: nothing opens.
    ClickLine(window, 4);
    EXPECT_TRUE(window.btnShowImage->isVisible());
    QTest::mouseClick(window.btnShowImage, Qt::LeftButton);
    const std::vector<std::string> expected = {"xdg-open /tmp/Bilder/a.bmp", "xdg-open /tmp/Bilder/a.bmp"};
    EXPECT_EQ(launcher.calls, expected);
}

TEST_F(MainWindowTest, EscClosesTheWindowAndTheNextStartShowsTheSameSettings)
{
    window.edtDirectory->setText(QStringLiteral("/home/jürgen/Fotos/"));
    window.edtWidth->setValue(640);
    const int pcx = TypeRow(window, QStringLiteral("*.pcx"));
    window.lbxFileTypes->item(pcx)->setCheckState(Qt::Unchecked);
    window.calcTypeButtons->button(4)->click();
    QTest::keyClick(window.edtDirectory, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());

    const std::string store = settings.StoreText();
    EXPECT_NE(store.find("path=/home/jürgen/Fotos/\n"), std::string::npos) << store;
    EXPECT_NE(store.find("width=640\n"), std::string::npos);
    EXPECT_NE(store.find("pcx=0\n"), std::string::npos);
    EXPECT_NE(store.find("mode=4\n"), std::string::npos);

    TfrmCorvalin next;
    next.FormCreate({});
    EXPECT_EQ(next.edtDirectory->text(), QStringLiteral("/home/jürgen/Fotos/"));
    EXPECT_EQ(next.edtWidth->value(), 640);
    EXPECT_EQ(next.lbxFileTypes->item(pcx)->text(), QStringLiteral("*.pcx"));
    EXPECT_EQ(next.lbxFileTypes->item(pcx)->checkState(), Qt::Unchecked);
    EXPECT_EQ(next.calcTypeButtons->checkedId(), 4);
    EXPECT_EQ(next.cbxMarkAll->checkState(), Qt::PartiallyChecked);
}

TEST_F(MainWindowTest, FitModeSwapsTheSizeBoxesWithTheirAutoLabels)
{
    window.calcTypeButtons->button(1)->click();  // "Breite"
    EXPECT_TRUE(window.edtWidth->isVisible());
    EXPECT_FALSE(window.edtHeight->isVisible());
    EXPECT_TRUE(window.labAutoHeight->isVisible());
    window.calcTypeButtons->button(0)->click();  // "Keine Änderung"
    EXPECT_TRUE(window.labAutoWidth->isVisible());
    EXPECT_TRUE(window.labAutoHeight->isVisible());
    window.calcTypeButtons->button(3)->click();
    EXPECT_TRUE(window.edtWidth->isVisible());
    EXPECT_TRUE(window.edtHeight->isVisible());
    EXPECT_FALSE(window.labAutoWidth->isVisible());
}

TEST_F(MainWindowTest, TickingTextOpensTheOverlayDialogOnlyAfterItWasUsed)
{
    // Every modal window that opens is counted and closed at once.
    int opened = 0;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&opened] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ++opened;
            modal->close();
        }
    });
    closer.start();

    QTest::mouseClick(window.cbxCopyright, Qt::LeftButton);
    EXPECT_TRUE(window.cbxCopyright->isChecked());
    EXPECT_EQ(OverlayDialog(), nullptr);
    EXPECT_EQ(opened, 0);

    QTest::mouseClick(window.btnChooseFont, Qt::LeftButton);  // "..." opens it modally
    EXPECT_EQ(opened, 1);
    ASSERT_NE(OverlayDialog(), nullptr);

    QTest::mouseClick(window.cbxCopyright, Qt::LeftButton);  // unticking opens nothing
    EXPECT_EQ(opened, 1);
    QTest::mouseClick(window.cbxCopyright, Qt::LeftButton);  // ticking again does
    EXPECT_EQ(opened, 2);
}

TEST_F(MainWindowTest, CommandsThatLeaveTheProgramGoThroughTheLauncher)
{
    window.edtDirectory->setText(QStringLiteral("/srv/Bilder/"));
    QTest::mouseClick(window.btnShowFolder, Qt::LeftButton);
    window.mniWebsite->trigger();
    window.mniDownloadUpdate->trigger();
    QTest::mouseClick(window.btnOrderPictures, Qt::LeftButton);
    window.mniEmail->trigger();
    const std::string site = CORVALIN_WEBSITE;
    const std::vector<std::string> expected = {
        "xdg-open /srv/Bilder/",
        "xdg-open " + site + "/?ref=Corvalin",
        "xdg-open " + site + "/index.php?id=corvalin&checkversion=2.3",
        "xdg-open " + site + "/fotos_bestellen.html?ref=Corvalin",
        std::string("xdg-open mailto:") + CORVALIN_EMAIL,
    };
    EXPECT_EQ(launcher.calls, expected);
}

TEST_F(MainWindowTest, BrowseOpensOnTheFolderInTheBoxAndTakesTheChosenFolder)
{
    std::string offered;
    window.chooseFolder = [&offered](const std::string& start) -> std::optional<std::string> {
        offered = start;
        return std::string("/home/anna/Urlaub 2004");
    };
    window.edtDirectory->setText(QStringLiteral("/tmp"));
    window.mniBrowse->trigger();
    EXPECT_EQ(window.edtDirectory->text(), QStringLiteral("/home/anna/Urlaub 2004/"));
    EXPECT_EQ(offered, "/tmp");

    window.chooseFolder = [](const std::string&) -> std::optional<std::string> { return std::nullopt; };
    QTest::mouseClick(window.btnBrowse, Qt::LeftButton);
    EXPECT_EQ(window.edtDirectory->text(), QStringLiteral("/home/anna/Urlaub 2004/"));
}

TEST_F(MainWindowTest, CommandLineHelpShowsTheSwitchesHelp)
{
    std::string shown;
    window.showMessageBox = [&shown](const std::string& text) { shown = text; };
    window.miCommandLineHelp->trigger();
    EXPECT_EQ(shown, HelpText());
}

TEST_F(MainWindowTest, EscOnAnOpenListClosesTheListNotTheProgram)
{
    window.cboConvertFormat->showPopup();
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    QTest::keyClick(popup->focusWidget() ? popup->focusWidget() : popup, Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(window.cboConvertFormat, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, OpenListsAndStatusTextsAreNotCutOff)
{
    for (QComboBox* combo : {window.cboConvertFormat, window.cboColorDepth}) {
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        const QFontMetrics metrics(view->font());
        for (int i = 0; i < combo->count(); ++i)
            EXPECT_LE(metrics.horizontalAdvance(combo->itemText(i)), view->viewport()->width())
                << combo->itemText(i).toStdString();
        combo->hidePopup();
    }
    EXPECT_EQ(window.width(), 639);

    // A hint longer than the bar: the whole text is the bar's tool tip.
    const QString longHint = QStringLiteral("Wählen Sie die gewünschte Farbtiefe. ").repeated(4);
    window.DisplayHint(longHint);
    EXPECT_EQ(window.statusBar()->toolTip(), longHint);
    QTest::mouseMove(window.edtDirectory);
    EXPECT_EQ(window.statusBar()->toolTip(), QString());

    const std::string reason = "Die Datei enthält einen Bildkopf mit einer Breite von 0 Pixeln, "
                               "der nicht gelesen werden kann";
    window.AddFileResultLine("/tmp/kaputt.bmp konnte nicht konvertiert werden!", "/tmp/kaputt.bmp", reason);
    ClickLine(window, 0);
    EXPECT_TRUE(window.statusBar()->toolTip().endsWith(QString::fromStdString(reason)));
}

TEST_F(MainWindowTest, WhatCannotBeOpenedIsNamedInAMessage)
{
    launcher.starts = false;
    QStringList messages;
    window.showMessageBox = [&messages](const std::string& text) { messages << QString::fromStdString(text); };
    window.edtDirectory->setText(QStringLiteral("/srv/Bilder/"));
    QTest::mouseClick(window.btnShowFolder, Qt::LeftButton);
    window.mniWebsite->trigger();
    window.mniEmail->trigger();
    window.AddFileResultLine("/srv/Bilder/Neu_a.bmp: 1,00 KB ==> 0,50 KB", "/srv/Bilder/Neu_a.bmp", "");
    ClickLine(window, 0);
    QTest::mouseClick(window.btnShowImage, Qt::LeftButton);
    const std::string site = CORVALIN_WEBSITE;
    EXPECT_EQ(messages, (QStringList{
        QStringLiteral("Das Verzeichnis \"/srv/Bilder/\" konnte nicht geöffnet werden!"),
        QString::fromStdString("Die Webseite \"" + site + "/?ref=Corvalin\" konnte nicht geöffnet werden!"),
        QString::fromStdString(std::string("Das E-Mail-Programm konnte für \"") + CORVALIN_EMAIL +
                               "\" nicht gestartet werden!"),
        QStringLiteral("Die Datei \"/srv/Bilder/Neu_a.bmp\" konnte nicht geöffnet werden!")}));

    launcher.starts = true;
    messages.clear();
    window.mniWebsite->trigger();
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainWindowTest, ADroppedFolderOrPictureGoesIntoTheFolderBox)
{
    testsupport::TempDir dir;
    windowtest::WriteBmp(dir.File("rose.bmp"), 4, 4, 0xFF0000);
    const auto drop = [this](const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        // As a drag from a file manager arrives: it enters, then drops.
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &event);
        EXPECT_TRUE(event.isAccepted());
    };
    drop(dir.Path());
    EXPECT_EQ(window.edtDirectory->text(), QString::fromStdString(dir.Path() + "/"));
    window.edtDirectory->clear();
    drop(dir.File("rose.bmp"));
    EXPECT_EQ(window.edtDirectory->text(), QString::fromStdString(dir.Path() + "/"));
}

// A file manager's "Open with" hands over a picture: the window opens with
// its folder filled in, and the switches beside it still act.
TEST(MainWindowStart, OpensWithTheFolderOfAHandedOverPicture)
{
    PrivateSettings settings;
    testsupport::TempDir dir;
    const std::string picture = dir.File("Foto 1.jpg");
    testsupport::WriteBytes(picture, {0xFF, 0xD8});
    TfrmCorvalin window;
    window.FormCreate({picture, "/width=640"});
    EXPECT_EQ(window.edtDirectory->text().toStdString(), dir.Path() + "/");
    EXPECT_EQ(window.edtWidth->value(), 640);
    EXPECT_FALSE(window.QuitRequested());
}

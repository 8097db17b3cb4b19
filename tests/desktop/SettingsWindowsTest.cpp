// The window for everyday use: "Weitere Einstellungen" bound to the store,
// presets, the question before originals are replaced, the first folder, a
// window that grows, and one message for a missing folder.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "app/Presets.h"
#include "app/SettingsStore.h"
#include "desktop/FileList.h"
#include "desktop/MainWindow.h"
#include "desktop/MoreSettings.h"

using namespace corvalin;
using windowtest::PrivateSettings;
namespace fs = std::filesystem;

namespace {

bool HasLine(const std::string& text, const std::string& line)
{
    return text.find("\n" + line + "\n") != std::string::npos;
}

void TickOnly(TfrmCorvalin& window, const QString& mask)
{
    for (int i = 0; i < window.lbxFileTypes->count(); ++i)
        window.lbxFileTypes->item(i)->setCheckState(window.lbxFileTypes->item(i)->text() == mask ? Qt::Checked
                                                                                                 : Qt::Unchecked);
}

QAction* EntryNamed(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

}  // namespace

TEST(MoreSettingsDialog, EachOptionRoundTripsThroughTheDialogToTheStore)
{
    PrivateSettings settings;
    {
        TfrmCorvalin window;
        window.FormCreate({});
        window.show();
        bool refusedSlash = false;
        windowtest::OnNextModal([&](QWidget* modal) {
            auto* dialog = dynamic_cast<TfrmMoreSettings*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->cbxSmooth->setChecked(true);
            dialog->cbxShrinkOnly->setChecked(true);
            dialog->cbxSrgb->setChecked(true);
            dialog->cbxAutoOrient->setChecked(false);
            dialog->cbxStrip->setChecked(true);
            dialog->cbxKeepDate->setChecked(true);
            dialog->cbxAskReplace->setChecked(false);
            dialog->chooseFolder = [](const std::string&) { return std::optional<std::string>("/tmp/Ziel/"); };
            QTest::mouseClick(dialog->btnOutDir, Qt::LeftButton);
            dialog->edtPrefix->setText(QStringLiteral("Klein/"));
            QPushButton* ok = dialog->buttons->button(QDialogButtonBox::Ok);
            refusedSlash = !ok->isEnabled() && dialog->labProblem->isVisible();
            dialog->edtPrefix->setText(QStringLiteral("Web_"));
            dialog->edtSuffix->setText(QStringLiteral("_klein"));
            dialog->cboExisting->setCurrentIndex(etNumber);
            dialog->edtMaxKb->setValue(300);
            QTest::mouseClick(ok, Qt::LeftButton);
        });
        QTest::mouseClick(window.btnMoreSettings, Qt::LeftButton);
        EXPECT_TRUE(refusedSlash);
        window.close();
    }
    const std::string store = settings.StoreText();
    for (const char* line : {"autoorient=0", "strip=1", "keepdate=1", "outdir=/tmp/Ziel/", "prefix=Web_",
                             "suffix=_klein", "exists=2", "maxkb=300", "askreplace=0", "srgb=1", "smooth=1",
                             "shrinkonly=1"})
        EXPECT_TRUE(HasLine(store, line)) << line << "\n" << store;

    // The next start shows the stored values; "Abbrechen" keeps them.
    TfrmCorvalin next;
    next.FormCreate({});
    next.show();
    TOutputChoices shown;
    TMetadataChoices shownMetadata;
    TScalingChoices shownScaling;
    windowtest::OnNextModal([&](QWidget* modal) {
        auto* dialog = static_cast<TfrmMoreSettings*>(modal);
        shown = dialog->Output();
        shownMetadata = dialog->Metadata();
        shownScaling = dialog->Scaling();
        dialog->edtSuffix->setText(QStringLiteral("_anders"));
        dialog->reject();
    });
    next.mniMoreSettings->trigger();
    EXPECT_EQ(shown.Folder, "/tmp/Ziel/");
    EXPECT_EQ(shown.Prefix, "Web_");
    EXPECT_EQ(shown.Existing, etNumber);
    EXPECT_EQ(shown.MaxKilobytes, 300);
    EXPECT_TRUE(shownMetadata.KeepDate);
    EXPECT_FALSE(shownMetadata.AutoOrient);
    EXPECT_TRUE(shownMetadata.Srgb);
    EXPECT_EQ(shownScaling, (TScalingChoices{true, true}));
    EXPECT_FALSE(next.Session().AskBeforeReplacing);
    EXPECT_EQ(next.CurrentSettings().Output.Suffix, "_klein");
}

TEST(Presets, SaveLoadAndDeleteFromTheMenu)
{
    PrivateSettings settings;
    TfrmCorvalin window;
    window.FormCreate({});
    window.show();
    std::vector<std::string> messages;
    window.showMessageBox = [&messages](const std::string& text) { messages.push_back(text); };
    window.edtWidth->setValue(123);
    window.askPresetName = [] { return std::optional<std::string>("Web klein"); };
    window.mniSavePreset->trigger();
    window.askPresetName = [] { return std::optional<std::string>("a/b"); };
    window.mniSavePreset->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("\"a/b\""), std::string::npos);
    EXPECT_EQ(PresetNames(SettingsStorePath()), std::vector<std::string>{"Web klein"});

    window.edtWidth->setValue(999);
    window.edtDirectory->setText(QStringLiteral("/anderswo/"));
    window.FillPresetMenus();
    QAction* load = EntryNamed(window.mnuLoadPreset, QStringLiteral("Web klein"));
    ASSERT_NE(load, nullptr);
    load->trigger();
    EXPECT_EQ(window.edtWidth->value(), 123);
    EXPECT_EQ(window.edtDirectory->text(), QStringLiteral("/anderswo/"));

    QAction* remove = EntryNamed(window.mnuDeletePreset, QStringLiteral("Web klein"));
    ASSERT_NE(remove, nullptr);
    remove->trigger();
    window.FillPresetMenus();
    EXPECT_TRUE(window.mnuLoadPreset->actions().isEmpty());
    EXPECT_FALSE(window.mnuLoadPreset->isEnabled());
    EXPECT_EQ(messages.size(), 1u);
}

TEST(ReplacingOriginals, NothingIsReplacedUntilJa)
{
    PrivateSettings settings;
    testsupport::TempDir dir;
    const std::string picture = dir.File("a.bmp");
    windowtest::WriteBmp(picture, 40, 20, 0x3366CC);
    const std::vector<uint8_t> original = testsupport::ReadBytes(picture);
    {
        TfrmCorvalin window;
        window.FormCreate({"/dir=" + dir.Path(), "/copy=0", "/adapt=2", "/width=10"});
        TickOnly(window, QStringLiteral("*.bmp"));
        window.show();

        QString title, text;
        bool noIsDefault = false, listStayedOpen = false, unchanged = false;
        windowtest::OnNextModal([&](QWidget* modal) {
            auto* list = static_cast<TfrmFileList*>(modal);
            windowtest::OnNextModal([&](QWidget* question) {
                auto* box = qobject_cast<QMessageBox*>(question);
                ASSERT_NE(box, nullptr);
                title = box->windowTitle();
                text = box->text();
                noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
                QTest::keyClick(box, Qt::Key_Return);
            });
            QTest::mouseClick(list->btnConvert, Qt::LeftButton);
            listStayedOpen = list->isVisible();
            unchanged = testsupport::ReadBytes(picture) == original;
            window.askReplacing = [](const std::string& question, bool& dontAskAgain) {
                dontAskAgain = question.starts_with("1 Original wird ersetzt.");
                return true;
            };
            QTest::mouseClick(list->btnConvert, Qt::LeftButton);
        });
        window.btnConvertClick();
        EXPECT_EQ(title, QStringLiteral("Vorhandene Dateien ersetzen?"));
        EXPECT_TRUE(text.startsWith(QStringLiteral("1 Original wird ersetzt. Ersetzte Originale ")) &&
                    text.endsWith(QStringLiteral("\nFortfahren?")))
            << text.toStdString();
        EXPECT_TRUE(noIsDefault);
        EXPECT_TRUE(listStayedOpen);
        EXPECT_TRUE(unchanged);
        EXPECT_NE(testsupport::ReadBytes(picture), original);
        EXPECT_EQ(window.Session().LastRun.converted, 1);
        window.close();
    }
    EXPECT_TRUE(HasLine(settings.StoreText(), "askreplace=0"));
    // Once "Nicht mehr fragen" is stored, the next run does not ask.
    TfrmCorvalin next;
    next.FormCreate({"/copy=0"});
    next.show();
    bool asked = false;
    next.askReplacing = [&asked](const std::string&, bool&) { return asked = true; };
    windowtest::OnNextModal(
        [](QWidget* modal) { QTest::mouseClick(static_cast<TfrmFileList*>(modal)->btnConvert, Qt::LeftButton); });
    next.btnConvertClick();
    EXPECT_FALSE(asked);
}

// The first start offers the pictures folder the desktop names, else home.
TEST(FirstStart, OffersThePicturesFolderElseHome)
{
    struct Case {
        const char* userDirs;  // nullptr: no user-dirs.dirs
        bool createPictures;
        const char* expected;  // below the fake home
    };
    const Case cases[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n", true, "/Bilder/"},
        {"XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", false, "/"},
        {nullptr, true, "/"},
    };
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const Case& c : cases) {
        PrivateSettings settings;
        testsupport::TempDir home;
        setenv("HOME", home.Path().c_str(), 1);
        if (c.createPictures)
            fs::create_directories(home.File("Bilder"));
        const std::string config = fs::path(settings.StoreFile()).parent_path().parent_path().string();
        if (c.userDirs != nullptr)
            std::ofstream(config + "/user-dirs.dirs") << "# written by xdg-user-dirs-update\n" << c.userDirs;
        TfrmCorvalin window;
        window.FormCreate({});
        window.show();
        EXPECT_EQ(window.edtDirectory->text().toStdString(), home.Path() + c.expected)
            << (c.userDirs ? c.userDirs : "");
        window.close();
        // A stored folder is used as before.
        TfrmCorvalin again;
        again.FormCreate({});
        EXPECT_EQ(again.edtDirectory->text().toStdString(), home.Path() + c.expected);
    }
    setenv("HOME", savedHome.c_str(), 1);
}

TEST(WindowSize, TheResultListTakesTheRoomAndASmallWindowScrolls)
{
    PrivateSettings settings;
    TfrmCorvalin window;
    window.FormCreate({});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.width(), 639);
    // At its designed size everything shows without scrolling.
    auto* scroller = static_cast<QScrollArea*>(window.centralWidget());
    EXPECT_FALSE(scroller->verticalScrollBar()->isVisible());
    EXPECT_FALSE(scroller->horizontalScrollBar()->isVisible());
    EXPECT_EQ(window.lbxResult->mapTo(window.gbxResult, QPoint()), QPoint(12, 22));
    const QSize list = window.lbxResult->size();
    const int setupHeight = window.gbxSetup->height();
    window.resize(window.width() + 300, window.height() + 200);
    QTest::qWait(50);
    EXPECT_EQ(window.lbxResult->width(), list.width() + 300);
    EXPECT_EQ(window.lbxResult->height(), list.height() + 200);
    EXPECT_EQ(window.gbxSetup->height(), setupHeight);
    // Smaller than designed: the content scrolls instead of being cut off.
    window.resize(400, 300);
    QTest::qWait(50);
    EXPECT_TRUE(scroller->verticalScrollBar()->isVisible());
    EXPECT_TRUE(scroller->horizontalScrollBar()->isVisible());
    EXPECT_GE(window.gbxResult->height(), 238);
}

TEST(MissingFolder, OneMessageForAllTickedTypes)
{
    PrivateSettings settings;
    testsupport::TempDir dir;
    TfrmCorvalin window;
    window.FormCreate({"/dir=" + dir.File("fehlt")});
    window.show();
    std::vector<std::string> messages;
    window.showMessageBox = [&messages](const std::string& text) { messages.push_back(text); };
    windowtest::OnNextModal([](QWidget*) {});
    window.btnConvertClick();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Das Verzeichnis \"" + dir.File("fehlt") + "/\" existiert nicht!");
    // The search lines join folder and mask with one slash.
    EXPECT_TRUE(window.lbxResult->item(0)->text().endsWith(QString::fromStdString("fehlt/" + FileTypeEntries()[0])))
        << window.lbxResult->item(0)->text().toStdString();
    EXPECT_FALSE(window.btnShowImage->isVisible());
}

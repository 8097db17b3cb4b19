// What the windows say before and after a run: where results go, what a run
// will replace, the stamp's font and preset, the selection list, and
// closing the window during a run.
#include <filesystem>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPointer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "app/Presets.h"
#include "app/ResultPlacement.h"
#include "desktop/Copyright.h"
#include "desktop/FileList.h"
#include "picture/FontMatch.h"
#include "desktop/MainWindow.h"
#include "desktop/Progress.h"
#include "desktop/WindowSupport.h"
#include "common/Tools.h"
#include "overlay/Stamp.h"
#include "overlay/StampLogo.h"
#include "picture/Bitmap.h"
#include "picture/Canvas.h"

using namespace corvalin;
namespace fs = std::filesystem;

namespace {

class ResultsAndReplacingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = dir.Path() + "/Bilder/";
        fs::create_directories(folder + "unten");
        for (const char* name : {"b.bmp", "a.bmp", "unten/c.bmp"})
            windowtest::WriteBmp(folder + name, 8, 6, 0x3366CC);
        window.FormCreate({"/dir=" + folder, "/copy=1", "/recursiv=1"});
        for (int i = 0; i < window.lbxFileTypes->count(); ++i)
            window.lbxFileTypes->item(i)->setCheckState(
                window.lbxFileTypes->item(i)->text() == QStringLiteral("*.bmp") ? Qt::Checked : Qt::Unchecked);
        window.show();
    }

    void SetOutput(const std::string& outFolder, bool copy)
    {
        TConversionSettings s = window.CurrentSettings();
        s.Output.Folder = outFolder;
        s.Output.Trash = false;
        s.SaveAsCopy = copy;
        window.ApplySettings(s);
    }

    testsupport::TempDir dir;
    windowtest::PrivateSettings settings;
    std::string folder;
    TfrmCorvalin window;
};

}  // namespace

TEST_F(ResultsAndReplacingTest, PlacementLineFollowsCopyAndOutputFolder)
{
    const std::string home = S(QDir::homePath());
    struct Case {
        std::string outFolder;
        bool copy;
        int format;
        QString line;
    } cases[] = {
        {"", true, 0, QStringLiteral("Ergebnisse: Kopien mit „Neu_“ im selben Verzeichnis")},
        {home + "/Bilder/Web", true, 0,
         QStringLiteral("Ergebnisse: Kopien mit „Neu_“ in ~/Bilder/Web, Unterverzeichnisse wie im Original")},
        {"/srv/Web/", false, 0,
         QStringLiteral("Ergebnisse: Kopien unter gleichem Namen in /srv/Web, Unterverzeichnisse wie im Original")},
        {"", false, 0, QStringLiteral("Originale werden ersetzt")},
        {"", false, 1, QStringLiteral("Originale werden ersetzt; mit anderem Format bleiben sie neben den Ergebnissen")},
    };
    for (const Case& c : cases) {
        SetOutput(c.outFolder, c.copy);
        window.cboConvertFormat->setCurrentIndex(c.format);
        EXPECT_EQ(window.labPlacement->text(), c.line) << c.outFolder;
    }
    // The check box alone changes the line at once.
    window.cbxSaveAsCopy->setChecked(true);
    EXPECT_TRUE(window.labPlacement->text().startsWith(QStringLiteral("Ergebnisse: Kopien mit")));
}

TEST_F(ResultsAndReplacingTest, CountsOriginalsAndEarlierResultsApart)
{
    const std::string out = dir.Path() + "/Web/";
    fs::create_directories(out + "unten");
    windowtest::WriteBmp(out + "a.bmp", 4, 4, 0);
    windowtest::WriteBmp(out + "unten/Neu_c.bmp", 4, 4, 0);
    const std::vector<std::string> sources{folder + "a.bmp", folder + "b.bmp", folder + "unten/c.bmp"};
    struct Case {
        std::string outFolder;
        bool copy;
        int format;  // 0 keeps each source's format
        int existing;
        TReplacementCount expected;
    } cases[] = {
        {"", false, 0, etReplace, {3, 0}},
        {"", false, 2, etReplace, {0, 0}},  // another format: the originals stay
        {"", true, 0, etReplace, {0, 0}},
        {out, false, 0, etReplace, {0, 1}},
        {out, true, 0, etReplace, {0, 1}},
        {out, true, 0, etSkip, {0, 0}},
    };
    for (const Case& c : cases) {
        TConversionSettings s = window.CurrentSettings();
        s.Output.Folder = c.outFolder;
        s.SaveAsCopy = c.copy;
        s.TargetFormat = c.format;
        s.Output.Existing = c.existing;
        const TReplacementCount count = CountReplacements(window.Session(), s, sources);
        EXPECT_EQ(count.originals, c.expected.originals) << c.outFolder << c.copy << c.format;
        EXPECT_EQ(count.earlier, c.expected.earlier) << c.outFolder << c.copy << c.format;
    }
    EXPECT_EQ(ReplacementQuestion({2, 1}, true),
              "2 Originale werden ersetzt. Ersetzte Originale kommen in den Papierkorb.\r"
              "1 vorhandene Datei wird mit neuen Ergebnissen überschrieben.\rFortfahren?");
}

TEST_F(ResultsAndReplacingTest, OverwritingEarlierResultsAsksWithNoAsDefault)
{
    const std::string out = dir.Path() + "/Web/";
    fs::create_directories(out);
    windowtest::WriteBmp(out + "a.bmp", 4, 4, 0);
    const std::vector<uint8_t> earlier = testsupport::ReadBytes(out + "a.bmp");
    SetOutput(out, false);
    QString text;
    bool noIsDefault = false;
    windowtest::OnNextModal([&](QWidget* modal) {
        auto* list = static_cast<TfrmFileList*>(modal);
        windowtest::OnNextModal([&](QWidget* question) {
            auto* box = qobject_cast<QMessageBox*>(question);
            ASSERT_NE(box, nullptr);
            text = box->text();
            noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
            QTest::keyClick(box, Qt::Key_Return);
        });
        QTest::mouseClick(list->btnConvert, Qt::LeftButton);
        list->close();
    });
    window.btnConvertClick();
    EXPECT_EQ(text, QStringLiteral("1 vorhandene Datei wird mit neuen Ergebnissen überschrieben.\nFortfahren?"));
    EXPECT_TRUE(noIsDefault);
    EXPECT_EQ(testsupport::ReadBytes(out + "a.bmp"), earlier);
}

TEST_F(ResultsAndReplacingTest, SelectionIsSortedShowsSizeAndFolderAndKeepsUntickedFiles)
{
    QStringList texts;
    windowtest::OnNextModal([&](QWidget* modal) {
        auto* list = static_cast<TfrmFileList*>(modal);
        for (int i = 0; i < list->Count(); ++i)
            texts << list->lbxResult->item(i)->text();
        for (int i = 0; i < list->Count(); ++i)
            if (list->Entry(i).ends_with("/b.bmp"))
                list->lbxResult->item(i)->setCheckState(Qt::Unchecked);
        list->close();
    });
    window.btnConvertClick();
    const QString size = Q(FormatByteSize(int64_t(fs::file_size(folder + "a.bmp"))));
    EXPECT_EQ(texts, (QStringList{QStringLiteral("a.bmp – ") + size + QStringLiteral(" – ") + Q(folder),
                                  QStringLiteral("b.bmp – ") + size + QStringLiteral(" – ") + Q(folder),
                                  QStringLiteral("c.bmp – ") + size + QStringLiteral(" – ") + Q(folder + "unten/")}));
    std::vector<bool> ticks;
    windowtest::OnNextModal([&](QWidget* modal) {
        auto* list = static_cast<TfrmFileList*>(modal);
        for (int i = 0; i < list->Count(); ++i)
            ticks.push_back(list->Ticked(i));
        list->close();
    });
    window.btnConvertClick();
    EXPECT_EQ(ticks, (std::vector<bool>{true, false, true}));
}

TEST_F(ResultsAndReplacingTest, MissingFolderOpensNoSelectionWindow)
{
    window.edtDirectory->setText(Q(dir.Path() + "/fehlt/"));
    QString message;
    window.showMessageBox = [&message](const std::string& text) { message = Q(text); };
    QPointer<QTimer> guard = windowtest::OnNextModal([](QWidget* modal) { modal->close(); });
    window.btnConvertClick();
    EXPECT_FALSE(message.isEmpty());
    // No selection window opened: the request for one is still waiting.
    EXPECT_TRUE(guard && guard->isActive());
    delete guard;
}

TEST_F(ResultsAndReplacingTest, ClosingDuringARunAsksAndCancels)
{
    int asked = 0;
    window.askCancelRun = [&asked] { return ++asked > 0; };
    windowtest::OnNextModal([&](QWidget* modal) {
        auto* list = static_cast<TfrmFileList*>(modal);
        QTimer::singleShot(0, [this] { window.close(); });
        QTest::mouseClick(list->btnConvert, Qt::LeftButton);
    });
    window.btnConvertClick();
    QTest::qWait(50);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(window.Session().LastRun.cancelled);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(ProgressWindow()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(ResultsAndReplacingTest, FontDialogOpensOnTheSavedFontAndOkKeepsIt)
{
    window.cbxCopyright->setChecked(false);
    TfrmCopyright* overlay = EnsureOverlayDialog(window.Session().Overlay);
    ASSERT_NE(overlay, nullptr);
    TFont saved;
    saved.Name = "MS Sans Serif";
    saved.Height = -48;
    saved.Bold = true;
    saved.Color = clWhite;
    overlay->ApplyFont(saved);
    windowtest::OnNextModal([](QWidget* modal) {
        auto* font = qobject_cast<QDialog*>(modal);
        ASSERT_NE(font, nullptr);
        font->accept();
    });
    overlay->btnChooseFontClick();
    EXPECT_EQ(overlay->TextFont(), saved);
    EXPECT_TRUE(overlay->labFont->text().startsWith(Q(MatchedFontFamily(saved)) + QStringLiteral(", 48 Pixel, fett")))
        << overlay->labFont->text().toStdString();

    // "..." and OK tick "Text einfügen"; "Abbrechen" puts the text back.
    windowtest::OnNextModal([](QWidget* modal) {
        auto* dialog = static_cast<TfrmCopyright*>(modal);
        dialog->edtText->setText(QStringLiteral("© Anna"));
        QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
    });
    window.btnChooseFontClick();
    EXPECT_TRUE(window.cbxCopyright->isChecked());
    window.cbxCopyright->setChecked(false);
    windowtest::OnNextModal([](QWidget* modal) {
        auto* dialog = static_cast<TfrmCopyright*>(modal);
        dialog->edtText->setText(QStringLiteral("verworfen"));
        QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
    });
    window.btnChooseFontClick();
    EXPECT_FALSE(window.cbxCopyright->isChecked());
    EXPECT_EQ(window.Session().Overlay.Text, "© Anna");
}

TEST_F(ResultsAndReplacingTest, PresetRestoresFieldsSavedAtTheirDefaults)
{
    TCopyrightText& overlay = window.Session().Overlay;
    ASSERT_EQ(overlay.LogoSize, TCopyrightText{}.LogoSize);
    ASSERT_TRUE(SavePreset(window.Session(), "Web"));
    overlay.LogoSize = 30;
    overlay.Opacity = 40;
    overlay.ChosenFont.Height = -48;
    ASSERT_TRUE(LoadPreset(window.Session(), "Web"));
    EXPECT_EQ(overlay.LogoSize, TCopyrightText{}.LogoSize);
    EXPECT_EQ(overlay.Opacity, TCopyrightText{}.Opacity);
    EXPECT_EQ(overlay.ChosenFont.Height, TCopyrightText{}.ChosenFont.Height);
}

// Logo and text in one corner: the logo's rows lie above the text's, at
// the bottom and at the top alike.
TEST(StampStack, LogoAndTextInOneCornerDoNotOverlap)
{
    testsupport::TempDir dir;
    windowtest::WriteBmp(dir.File("logo.bmp"), 20, 10, 0xFF0000);
    for (const int32_t align : {kAlignBottomLeft, kAlignTopLeft}) {
        TBitmap picture;
        picture.NewRaster(200, 150, TPixelFormat::pf24bit);
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x)
                picture.Canvas().WritePixel(x, y, clWhite);
        TOverlaySnapshot stamp{"Hamburg", 5, align, TFont{}, {}, TStampLogo::Load(dir.File("logo.bmp"))};
        stamp.Font->Name = "DejaVu Sans";
        stamp.Font->Height = -20;
        stamp.Style.Box = kBoxNone;
        stamp.Style.LogoAlign = align;
        stamp.Style.LogoSize = 20;
        DrawStamp(picture, stamp);
        int lastLogoRow = -1, firstTextRow = 1 << 30;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x) {
                const TColor c = picture.Canvas().ReadPixel(x, y);
                if (c == RGB(255, 0, 0))
                    lastLogoRow = std::max(lastLogoRow, y);
                else if (c != clWhite)
                    firstTextRow = std::min(firstTextRow, y);
            }
        EXPECT_GE(lastLogoRow, 0) << align;
        EXPECT_LT(lastLogoRow, firstTextRow) << align;
    }
}

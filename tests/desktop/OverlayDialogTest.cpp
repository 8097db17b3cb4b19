// The overlay dialog: the record's normalisation and font, the preview drawn
// by the raster layer, and every way of closing keeping the edits.
#include <QAbstractButton>
#include <QComboBox>
#include <QButtonGroup>
#include <QLineEdit>
#include <QLabel>
#include <QToolButton>
#include <QSpinBox>
#include <QFontMetrics>
#include <QTest>

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "desktop/Copyright.h"
#include "desktop/MainWindow.h"

using namespace corvalin;

namespace {

// Bounding box of the pixels the stamp changed on the sample.
QRect InkBox(const QImage& image, const QImage& sample)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != sample.pixel(x, y))
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

class OverlayDialogTest : public ::testing::Test {
protected:
    TCopyrightText record{"Beispieltext", 5, kAlignBottomLeft, nullptr};
    TfrmCopyright* dialog = EnsureOverlayDialog(record);
};

}  // namespace

TEST_F(OverlayDialogTest, DefaultRecordGivesTheTextAtTheBottomLeftOfAWhiteSample)
{
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(record.Font, &dialog->TextFont());
    EXPECT_EQ(record.Font->Height, -11);
    EXPECT_EQ(record.Align, 9);
    EXPECT_EQ(record.Border, 5);
    EXPECT_EQ(dialog->positionButtons->checkedId(), 1);

    const QImage preview = dialog->PreviewImage();
    ASSERT_EQ(preview.size(), QSize(199, 151));
    const QRect ink = InkBox(preview, dialog->SampleImage());
    ASSERT_FALSE(ink.isNull());
    // The character cell's top is at 151 - 11 - 5 = 135; glyph ink starts
    // at the cell or a little below, and never left of the border.
    EXPECT_GE(ink.top(), 135);
    EXPECT_LE(ink.top(), 140);
    EXPECT_GE(ink.left(), 5);
    EXPECT_LE(ink.left(), 8);
    EXPECT_LT(ink.bottom(), 151);
}

TEST_F(OverlayDialogTest, AlignmentIsNormalisedPerAxis)
{
    record.Align = 12;  // top and bottom: centred
    dialog->LoadOverlaySettings(record);
    EXPECT_EQ(dialog->positionButtons->checkedId(), IdOfPlace(0));
    dialog->StoreOverlaySettings();
    EXPECT_EQ(record.Align, 0);

    record.Align = 4;
    dialog->LoadOverlaySettings(record);
    EXPECT_EQ(dialog->positionButtons->checkedId(), IdOfPlace(kAlignFlagTop));
    EXPECT_EQ(record.Align, 4);  // the changed position stored the record at once
    const QRect ink = InkBox(dialog->PreviewImage(), dialog->SampleImage());
    EXPECT_GE(ink.top(), 5);  // the cell's top at the border
    EXPECT_LE(ink.top(), 10);
}

TEST_F(OverlayDialogTest, NegativeBorderIsKeptAndMovesTheTextOutOfThePicture)
{
    record.Border = -10;
    record.Align = kAlignTopLeft;
    dialog->LoadOverlaySettings(record);
    dialog->StoreOverlaySettings();
    EXPECT_EQ(record.Border, -10);
    const QRect ink = InkBox(dialog->PreviewImage(), dialog->SampleImage());
    EXPECT_EQ(ink.left(), 0);
    EXPECT_EQ(ink.top(), 0);
}

TEST_F(OverlayDialogTest, ClearedBorderKeepsThePreviewAndIsStoredAsZero)
{
    dialog->show();
    const QImage before = dialog->PreviewImage();
    dialog->edtBorder->setFocus();
    dialog->edtBorder->selectAll();
    QTest::keyClick(dialog->edtBorder, Qt::Key_Backspace);
    EXPECT_EQ(dialog->edtBorder->text(), QString());
    EXPECT_EQ(dialog->PreviewImage(), before);
    QTest::keyClick(dialog->edtBorder, Qt::Key_Minus);
    EXPECT_EQ(dialog->PreviewImage(), before);
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(record.Border, 0);
}

TEST_F(OverlayDialogTest, EscAndTheCloseBoxKeepTheEditsLikeOk)
{
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    dialog->edtText->setText(QStringLiteral("© Jürgen"));
    dialog->positionButtons->button(0)->click();
    QTest::keyClick(dialog->edtText, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(record.Text, "© Jürgen");
    EXPECT_EQ(record.Align, 5);

    dialog->show();
    dialog->positionButtons->button(1)->click();
    dialog->close();
    EXPECT_EQ(record.Align, 9);
}

TEST_F(OverlayDialogTest, ChosenFontReachesRecordControlAndPreview)
{
    TFont font;
    font.Name = "DejaVu Serif";
    font.Height = -24;
    font.Bold = true;
    font.Color = RGB(255, 0, 0);
    dialog->chooseFont = [font] { return std::optional<TFont>(font); };
    dialog->btnChooseFontClick();
    ASSERT_NE(record.Font, nullptr);
    EXPECT_EQ(*record.Font, font);
    // The text field keeps the dialog's font; the choice is described beside it.
    EXPECT_EQ(dialog->edtText->font(), dialog->font());
    EXPECT_TRUE(dialog->labFont->text().contains(QStringLiteral("DejaVu Serif, 24 Pixel, fett")));

    const QImage preview = dialog->PreviewImage();
    const QRect ink = InkBox(preview, dialog->SampleImage());
    EXPECT_GE(ink.top(), 151 - 24 - 5);
    bool red = false;
    for (int y = ink.top(); y <= ink.bottom() && !red; ++y)
        for (int x = ink.left(); x <= ink.right() && !red; ++x)
            red = preview.pixel(x, y) == qRgb(255, 0, 0);
    EXPECT_TRUE(red);

    dialog->chooseFont = [] { return std::optional<TFont>(); };  // cancelled
    dialog->btnChooseFontClick();
    EXPECT_EQ(*record.Font, font);
}

TEST_F(OverlayDialogTest, SampleIsStretchedAndABadFileLeavesThePreview)
{
    testsupport::TempDir dir;
    windowtest::WriteBmp(dir.File("hoch.bmp"), 20, 80, 0x0000FF);
    dialog->chooseSampleFile = [&dir] { return QString::fromStdString(dir.File("hoch.bmp")); };
    dialog->btnLoadImageClick();
    const QImage preview = dialog->PreviewImage();
    EXPECT_EQ(preview.pixel(190, 10), qRgb(0, 0, 255));
    EXPECT_EQ(preview.pixel(2, 2), qRgb(0, 0, 255));

    testsupport::WriteBytes(dir.File("kaputt.bmp"), {'B', 'M', 1, 2, 3});
    QString message;
    windowtest::AnswerNextMessageBox(&message);
    EXPECT_FALSE(dialog->LoadSample(QString::fromStdString(dir.File("kaputt.bmp"))));
    EXPECT_EQ(message, QStringLiteral("Bild konnte nicht geladen werden!"));
    EXPECT_EQ(dialog->PreviewImage(), preview);
}

TEST_F(OverlayDialogTest, ALargeFontIsPreviewedInsideThePreviewsFrame)
{
    TFont large;
    large.Name = "DejaVu Sans";
    large.Height = -28;
    large.Bold = true;
    dialog->ApplyFont(large);
    EXPECT_EQ(dialog->TextFont().Height, -28);
    const QImage preview = dialog->PreviewImage();
    EXPECT_EQ(preview.size(), QSize(199, 151));
    // 28-pixel text at the bottom left: the cell's top at 151 - 28 - 5.
    EXPECT_GE(InkBox(preview, dialog->SampleImage()).top(), 151 - 28 - 5);
    EXPECT_LE(InkBox(preview, dialog->SampleImage()).top(), 151 - 28 - 5 + 8);
    // The preview is drawn inside its frame, clear of the text box and "...".
    const QWidget* frame = dialog->imgImage->parentWidget();
    EXPECT_TRUE(frame->rect().contains(dialog->imgImage->geometry()));
    const QRect box = frame->geometry();
    EXPECT_FALSE(box.intersects(dialog->edtText->geometry()));
    EXPECT_FALSE(box.intersects(dialog->btnChooseFont->geometry()));
}

// White text on the light part of the sample: the field shows it in the
// dialog's own font and colours, the preview in white.
TEST_F(OverlayDialogTest, TheTextFieldStaysLegibleWithLargeWhiteText)
{
    TFont white;
    white.Name = "DejaVu Sans";
    white.Height = -40;
    white.Color = clWhite;
    dialog->ApplyFont(white);
    dialog->edtText->setText(QStringLiteral("Weiß"));
    EXPECT_EQ(dialog->edtText->font(), dialog->font());
    EXPECT_EQ(dialog->edtText->palette().color(QPalette::Text), dialog->palette().color(QPalette::Text));
    EXPECT_NE(dialog->edtText->palette().color(QPalette::Text), dialog->edtText->palette().color(QPalette::Base));
    EXPECT_GE(dialog->edtText->height(), QFontMetrics(dialog->edtText->font()).height());
    EXPECT_TRUE(dialog->labFont->text().contains(QStringLiteral("40 Pixel")));
    EXPECT_EQ(record.Color, "#FFFFFF");
}

// The nine places, the box, the opacity and the logo reach the record and
// the preview; the controls refuse values out of their ranges.
TEST_F(OverlayDialogTest, PlacesLookAndLogoReachRecordAndPreview)
{
    for (int id = 0; id < 9; ++id) {
        dialog->positionButtons->button(id)->click();
        EXPECT_EQ(record.Align, PlaceOfId(id));
        EXPECT_FALSE(dialog->positionButtons->button(id)->toolTip().isEmpty());
    }
    dialog->cboBox->setCurrentIndex(kBoxNone);
    EXPECT_EQ(record.Box, kBoxNone);
    dialog->edtOpacity->setValue(0);
    EXPECT_EQ(record.Opacity, 1);
    dialog->edtOpacity->setValue(101);
    EXPECT_EQ(record.Opacity, 100);
    dialog->edtSize->setValue(60);
    EXPECT_EQ(record.RelativeSize, 50);

    testsupport::TempDir dir;
    windowtest::WriteBmp(dir.File("logo.bmp"), 10, 10, 0x00FF00);
    testsupport::WriteBytes(dir.File("kaputt.png"), {0x89, 'P', 'N', 'G'});
    QString message;
    windowtest::AnswerNextMessageBox(&message);
    EXPECT_FALSE(dialog->ApplyLogo(QString::fromStdString(dir.File("kaputt.png"))));
    EXPECT_EQ(message, QStringLiteral("Logo konnte nicht geladen werden!"));
    EXPECT_EQ(record.Logo, "");
    ASSERT_TRUE(dialog->ApplyLogo(QString::fromStdString(dir.File("logo.bmp"))));
    EXPECT_EQ(record.Logo, dir.File("logo.bmp"));
    dialog->edtLogoSize->setValue(50);
    dialog->cboLogoPosition->setCurrentIndex(dialog->cboLogoPosition->findData(0));
    EXPECT_EQ(record.LogoAlign, 0);
    // 100 x 100 in the middle of 199 x 151, all green.
    EXPECT_EQ(dialog->PreviewImage().pixel(99, 75), qRgb(0, 255, 0));
    dialog->btnClearLogoClick();
    EXPECT_EQ(record.Logo, "");
    EXPECT_NE(dialog->PreviewImage().pixel(99, 75), qRgb(0, 255, 0));
}

// What the dialog set is found the same after the program starts again.
TEST(OverlayDialogRestart, TheStampIsSetTheSameAfterARestart)
{
    windowtest::PrivateSettings settings;
    testsupport::TempDir dir;
    windowtest::WriteBmp(dir.File("logo.bmp"), 8, 4, 0x00FF00);
    TFont font;
    font.Name = "DejaVu Serif";
    font.Height = -19;
    font.Italic = true;
    font.Color = RGB(255, 255, 255);
    {
        TfrmCorvalin window;
        window.FormCreate({});
        TfrmCopyright* dialog = EnsureOverlayDialog(window.Session().Overlay);
        ASSERT_NE(dialog, nullptr);
        dialog->edtText->setText(QStringLiteral("© Anna"));
        dialog->ApplyFont(font);
        dialog->positionButtons->button(IdOfPlace(kAlignBottomRight))->click();
        dialog->cboBox->setCurrentIndex(kBoxColour);
        dialog->ApplyBoxColor(RGB(1, 2, 3));
        dialog->edtOpacity->setValue(60);
        dialog->edtSize->setValue(8);
        ASSERT_TRUE(dialog->ApplyLogo(QString::fromStdString(dir.File("logo.bmp"))));
        dialog->edtLogoSize->setValue(15);
        dialog->cboLogoPosition->setCurrentIndex(dialog->cboLogoPosition->findData(kAlignTopLeft));
        window.close();
        delete dialog;
    }
    TfrmCorvalin window;
    window.FormCreate({});
    TfrmCopyright* dialog = EnsureOverlayDialog(window.Session().Overlay);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->edtText->text(), QStringLiteral("© Anna"));
    EXPECT_EQ(dialog->TextFont(), font);
    EXPECT_EQ(dialog->positionButtons->checkedId(), IdOfPlace(kAlignBottomRight));
    EXPECT_EQ(dialog->cboBox->currentIndex(), kBoxColour);
    EXPECT_EQ(window.Session().Overlay.BoxColor, "#010203");
    EXPECT_EQ(dialog->edtOpacity->value(), 60);
    EXPECT_EQ(dialog->edtSize->value(), 8);
    EXPECT_EQ(dialog->edtLogo->text(), QString::fromStdString(dir.File("logo.bmp")));
    EXPECT_EQ(dialog->edtLogoSize->value(), 15);
    EXPECT_EQ(dialog->cboLogoPosition->currentData().toInt(), kAlignTopLeft);
    delete dialog;
}

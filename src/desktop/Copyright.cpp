#include "desktop/Copyright.h"

#include <exception>
#include <limits>
#include <optional>

#include <QButtonGroup>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/Exceptions.h"
#include "desktop/BitmapImage.h"
#include "desktop/WindowSupport.h"
#include "desktop/FontDialog.h"
#include "picture/Canvas.h"

namespace corvalin {
namespace {

TfrmCopyright* frmCopyright = nullptr;

constexpr int kPreviewWidth = 199;
constexpr int kPreviewHeight = 151;

// y of the text's top at the bottom edge: H - (Border - font height), both
// steps checked for signed 32-bit overflow.
int32_t BottomTextTop(int32_t height, int32_t border, int32_t fontHeight)
{
    int32_t fromEdge = 0;
    int32_t top = 0;
    if (__builtin_sub_overflow(border, fontHeight, &fromEdge) ||
        __builtin_sub_overflow(height, fromEdge, &top))
        throw EIntOverflow(msg::IntOverflow);
    return top;
}

QPushButton* ButtonWithPicture(QWidget* parent, QStyle::StandardPixmap icon, const QString& caption)
{
    auto* button = new QPushButton(parent->style()->standardIcon(icon), caption, parent);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

}  // namespace

QString SampleFileFilter()
{
    QStringList patterns;
    QStringList entries;
    for (const TFormatRow& row : FormatTable) {
        if (!IsUsable(row))
            continue;
        const QString extension = QString::fromLatin1(row.Extension.data(), qsizetype(row.Extension.size()));
        const QString pattern = QStringLiteral("*.") + extension;
        patterns << pattern;
        entries << extension.toUpper() + QStringLiteral("-Bilder (") +
                       pattern + QLatin1Char(')');
    }
    return QStringLiteral("Alle (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(");;") +
           entries.join(QStringLiteral(";;")) + QStringLiteral(";;Alle Dateien (*)");
}

TfrmCopyright::TfrmCopyright(TCopyrightText& record) : record_(record)
{
    setWindowTitle(QStringLiteral("Text einfügen"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(DefaultWindowFont());
    FixClientSize(this, 342, 223);

    labTitle = new QLabel(QStringLiteral("Beispielbild:"), this);
    labTitle->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 13, true));
    labTitle->setGeometry(8, 8, 200, 18);

    auto* pnlImage = new QFrame(this);
    pnlImage->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlImage->setLineWidth(1);
    pnlImage->setGeometry(8, 32, kPreviewWidth + 2, kPreviewHeight + 2);
    imgImage = new QLabel(pnlImage);
    imgImage->setGeometry(1, 1, kPreviewWidth, kPreviewHeight);
    imgImage->setScaledContents(true);

    edtText = new QLineEdit(this);
    edtText->setGeometry(216, 32, 99, 22);
    btnChooseFont = new QToolButton(this);
    btnChooseFont->setText(QStringLiteral("..."));
    btnChooseFont->setAutoRaise(true);
    btnChooseFont->setGeometry(317, 32, 25, 22);
    btnChooseFont->setCursor(Qt::PointingHandCursor);
    SetHint(btnChooseFont, QStringLiteral("Wählen Sie eine Schriftart"));

    labBorder = new QLabel(QStringLiteral("Abstand:"), this);
    labBorder->setGeometry(216, 68, 48, 16);
    edtBorder = new QSpinBox(this);
    edtBorder->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    edtBorder->setValue(20);
    edtBorder->setGeometry(266, 64, 70, 22);
    edtBorder->setCursor(Qt::PointingHandCursor);

    rdbPosition = new QGroupBox(QStringLiteral("Position"), this);
    rdbPosition->setGeometry(216, 120, 121, 65);
    rdbPosition->setCursor(Qt::PointingHandCursor);
    positionButtons = new QButtonGroup(this);
    auto* positions = new QVBoxLayout(rdbPosition);
    positions->setContentsMargins(8, 2, 4, 4);
    positions->setSpacing(2);
    const QStringList items = {QStringLiteral("links oben"), QStringLiteral("links unten")};
    for (int index = 0; index < items.size(); ++index) {
        auto* item = new QRadioButton(items[index], rdbPosition);
        positionButtons->addButton(item, index);
        positions->addWidget(item);
    }
    positionButtons->button(0)->setChecked(true);

    btnLoadImage = ButtonWithPicture(this, QStyle::SP_DialogOpenButton, QStringLiteral("Bild &laden"));
    btnLoadImage->setGeometry(8, 192, 113, 25);
    btnOk = ButtonWithPicture(this, QStyle::SP_DialogApplyButton, QStringLiteral("&Ok"));
    btnOk->setGeometry(222, 192, 113, 25);
    SetHint(btnOk, QStringLiteral("Änderungen übernehmen"));
    btnOk->setDefault(true);
    setTabOrder(btnOk, edtText);

    edtText->setText(QStringLiteral("Beispieltext"));
    edtText->setFont(ToQFont(textFont_));

    connect(edtText, &QLineEdit::textChanged, this, [this] { edtTextChange(); });
    connect(edtBorder, &QSpinBox::textChanged, this, [this] { edtBorderChange(); });
    connect(positionButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            rdbPositionClick();
    });
    connect(btnChooseFont, &QToolButton::clicked, this, [this] { btnChooseFontClick(); });
    connect(btnLoadImage, &QPushButton::clicked, this, [this] { btnLoadImageClick(); });
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    CloseOnEscape(this);

    chooseSampleFile = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Bild laden"), QString(),
                                            SampleFileFilter());
    };
    chooseFont = [this] {
        if (dlgFontDialog_ == nullptr) {
            dlgFontDialog_ = new TfrmFontDialog();
            dlgFontDialog_->setParent(this, dlgFontDialog_->windowFlags());
        }
        return dlgFontDialog_->Choose();
    };

    LoadOverlaySettings(record_);
}

TfrmCopyright::~TfrmCopyright()
{
    if (frmCopyright == this)
        frmCopyright = nullptr;
}

TOverlayControls TfrmCopyright::ControlValues() const
{
    TOverlayControls controls;
    controls.Text = S(edtText->text());
    controls.BorderText = S(edtBorder->text());
    controls.Position = Position();
    return controls;
}

int TfrmCopyright::Position() const
{
    return positionButtons->checkedId() == 1 ? 1 : 0;
}

void TfrmCopyright::SetPosition(int index)
{
    positionButtons->button(index)->setChecked(true);
}

void TfrmCopyright::LoadOverlaySettings(const TCopyrightText& settings)
{
    TOverlayControls wanted;
    corvalin::LoadOverlaySettings(wanted, settings);
    // One assignment after the other, each firing its handler on a change,
    // so the record follows the controls step by step.
    const QString text = Q(wanted.Text);
    if (edtText->text() != text)
        edtText->setText(text);
    const QString border = Q(wanted.BorderText);
    if (edtBorder->text() != border)
        edtBorder->setValue(BorderValue(wanted.BorderText));
    if (Position() != wanted.Position)
        SetPosition(wanted.Position);
}

void TfrmCopyright::StoreOverlaySettings()
{
    corvalin::StoreOverlaySettings(ControlValues(), &textFont_, record_);
}

void TfrmCopyright::UpdateView()
{
    StoreOverlaySettings();
    const TCopyrightText overlay = record_;
    try {
        const int32_t fontHeight = overlay.Font->Height;
        const int32_t x = overlay.Border;
        const int32_t y = (overlay.Align & kAlignFlagTop)
                              ? overlay.Border
                              : BottomTextTop(kPreviewHeight, overlay.Border, fontHeight);
        TBitmap preview;
        preview.SetPictureWidth(kPreviewWidth);
        preview.SetPictureHeight(kPreviewHeight);
        if (!samplePicture_.Empty())
            preview.Canvas().DrawStretched(TRect{0, 0, kPreviewWidth, kPreviewHeight},
                                           samplePicture_);
        preview.Canvas().Font = *overlay.Font;
        preview.Canvas().DrawTextAt(x, y, overlay.Text);
        imgImage->setPixmap(QPixmap::fromImage(ToQImage(preview)));
    } catch (const std::exception&) {
        // The preview keeps what it showed before.
    }
}

QImage TfrmCopyright::PreviewImage() const
{
    return imgImage->pixmap().toImage();
}

void TfrmCopyright::edtTextChange()
{
    UpdateView();
}

void TfrmCopyright::edtBorderChange()
{
    // The spin box reports only texts that read as whole numbers: while the
    // user types "-" or clears the box the preview keeps its state.
    UpdateView();
}

void TfrmCopyright::rdbPositionClick()
{
    UpdateView();
}

void TfrmCopyright::btnChooseFontClick()
{
    if (const std::optional<TFont> font = chooseFont())
        ApplyFont(*font);
}

void TfrmCopyright::ApplyFont(const TFont& font)
{
    textFont_ = font;
    edtText->setFont(ToQFont(font));
    QPalette palette = edtText->palette();
    palette.setColor(QPalette::Text, QColor(RedOf(font.Color), GreenOf(font.Color), BlueOf(font.Color)));
    edtText->setPalette(palette);
    UpdateView();
}

void TfrmCopyright::btnLoadImageClick()
{
    const QString fileName = chooseSampleFile();
    if (!fileName.isEmpty())
        LoadSample(fileName);
}

bool TfrmCopyright::LoadSample(const QString& fileName)
{
    try {
        samplePicture_.LoadFromFileEx(S(fileName));
    } catch (const std::exception&) {
        QMessageBox::warning(this, QStringLiteral("Text einfügen"),
                             QStringLiteral("Bild konnte nicht geladen werden!"));
        return false;
    }
    UpdateView();
    return true;
}

void TfrmCopyright::btnOkClick()
{
    close();
}

void TfrmCopyright::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    LoadOverlaySettings(record_);
    btnOk->setFocus();
}

void TfrmCopyright::done(int result)
{
    // Every way of closing (Ok, Esc, the close box) keeps the edits.
    StoreOverlaySettings();
    QDialog::done(result);
}

TfrmCopyright* OverlayDialog()
{
    return frmCopyright;
}

TfrmCopyright* EnsureOverlayDialog(TCopyrightText& record)
{
    if (frmCopyright != nullptr)
        return frmCopyright;
    try {
        frmCopyright = new TfrmCopyright(record);
        CenterOnScreen(frmCopyright);
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Corvalin"), QString::fromStdString(error.what()));
        frmCopyright = nullptr;
    }
    return frmCopyright;
}

}  // namespace corvalin

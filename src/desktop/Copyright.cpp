#include "desktop/Copyright.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <limits>
#include <optional>

#include <QButtonGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>

#include "common/Exceptions.h"
#include "desktop/BitmapImage.h"
#include "desktop/WindowSupport.h"
#include "desktop/FontDialog.h"
#include "picture/FontMatch.h"
#include "overlay/Stamp.h"
#include "overlay/StampValues.h"
#include "picture/Canvas.h"

namespace corvalin {
namespace {

TfrmCopyright* frmCopyright = nullptr;

constexpr int kPreviewWidth = 199;
constexpr int kPreviewHeight = 151;

// The nine places in the order of their ids: the two the dialog always
// offered first, then the others row by row.
struct TPlace {
    int32_t align;
    const char* name;
};
constexpr TPlace kPlaces[] = {
    {kAlignTopLeft, "links oben"},       {kAlignBottomLeft, "links unten"},
    {kAlignFlagTop, "oben Mitte"},       {kAlignFlagTop | kAlignFlagRight, "rechts oben"},
    {kAlignFlagLeft, "links Mitte"},     {0, "Mitte"},
    {kAlignFlagRight, "rechts Mitte"},   {kAlignFlagBottom, "unten Mitte"},
    {kAlignBottomRight, "rechts unten"},
};
// The ids in reading order, for the grid and the logo's list.
constexpr int kReadingOrder[] = {0, 2, 3, 4, 5, 6, 1, 7, 8};

// A neutral sample: grey on the left, a grey checkerboard on the right, so
// that light and dark stamps and their opacity show.
void DrawNeutralSample(TBitmap& preview)
{
    for (int y = 0; y < kPreviewHeight; ++y)
        for (int x = 0; x < kPreviewWidth; ++x) {
            const bool light = x < kPreviewWidth / 2 || ((x / 10 + y / 10) % 2 == 0);
            const uint8_t level = x < kPreviewWidth / 2 ? 128 : light ? 176 : 96;
            preview.Canvas().WritePixel(x, y, RGB(level, level, level));
        }
}

QString FontDescription(const TFont& font)
{
    QString text = Q(MatchedFontFamily(font)) + QStringLiteral(", %1 Pixel").arg(font.Height < 0 ? -font.Height : font.Height);
    if (font.Bold)
        text += QStringLiteral(", fett");
    if (font.Italic)
        text += QStringLiteral(", kursiv");
    if (font.Underline)
        text += QStringLiteral(", unterstrichen");
    if (font.StrikeOut)
        text += QStringLiteral(", durchgestrichen");
    return text;
}

void ShowColour(QPushButton* button, TColor color)
{
    QPixmap swatch(14, 14);
    swatch.fill(QColor(RedOf(color), GreenOf(color), BlueOf(color)));
    button->setIcon(QIcon(swatch));
}

QLabel* Caption(QWidget* parent, const QString& text, int x, int y, int width)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(x, y, width, 16);
    return label;
}

QSpinBox* PercentBox(QWidget* parent, int minimum, int maximum, const QRect& geometry)
{
    auto* box = new QSpinBox(parent);
    box->setRange(minimum, maximum);
    box->setSuffix(QStringLiteral(" %"));
    box->setGeometry(geometry);
    box->setCursor(Qt::PointingHandCursor);
    return box;
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

int32_t PlaceOfId(int id)
{
    return id >= 0 && id < int(std::size(kPlaces)) ? kPlaces[id].align : kAlignTopLeft;
}

int IdOfPlace(int32_t align)
{
    const int32_t normalised = NormalisedAlign(align);
    for (int id = 0; id < int(std::size(kPlaces)); ++id)
        if (kPlaces[id].align == normalised)
            return id;
    return 0;
}

TfrmCopyright::TfrmCopyright(TCopyrightText& record) : record_(record)
{
    setWindowTitle(QStringLiteral("Text einfügen"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(DefaultWindowFont());
    FixClientSize(this, 520, 292);

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
    SetHint(imgImage, QStringLiteral("So erscheint der Stempel im Bild"));

    // The text field keeps the dialog's font and colours: white or large
    // text stays legible while it is typed.
    edtText = new QLineEdit(this);
    edtText->setGeometry(220, 32, 262, 22);
    SetHint(edtText, QStringLiteral("Der Text, der in jedes Bild eingefügt wird"));
    btnChooseFont = new QToolButton(this);
    btnChooseFont->setText(QStringLiteral("..."));
    btnChooseFont->setAutoRaise(true);
    btnChooseFont->setGeometry(486, 32, 25, 22);
    btnChooseFont->setCursor(Qt::PointingHandCursor);
    SetHint(btnChooseFont, QStringLiteral("Wählen Sie eine Schriftart"));
    labFontColor = new QLabel(this);
    labFontColor->setFrameStyle(QFrame::Box | QFrame::Plain);
    labFontColor->setAutoFillBackground(true);
    labFontColor->setGeometry(220, 59, 14, 14);
    SetHint(labFontColor, QStringLiteral("Farbe des Textes"));
    labFont = Caption(this, QString(), 240, 58, 272);
    SetHint(labFont, QStringLiteral("Schriftart, Größe und Stil des Textes"));

    labBorder = Caption(this, QStringLiteral("Abstand:"), 220, 82, 60);
    edtBorder = new QSpinBox(this);
    edtBorder->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    edtBorder->setValue(20);
    edtBorder->setGeometry(282, 78, 70, 22);
    edtBorder->setCursor(Qt::PointingHandCursor);
    SetHint(edtBorder, QStringLiteral("Abstand von Text und Logo zum Bildrand in Pixeln"));

    BuildPlaceControls();
    BuildLookControls();
    BuildLogoControls();

    btnLoadImage = ButtonWithPicture(this, QStyle::SP_DialogOpenButton, QStringLiteral("Bild &laden"));
    btnLoadImage->setGeometry(8, 260, 113, 25);
    SetHint(btnLoadImage, QStringLiteral("Ein eigenes Bild als Beispiel laden"));
    btnOk = ButtonWithPicture(this, QStyle::SP_DialogApplyButton, QStringLiteral("&Ok"));
    btnOk->setGeometry(399, 260, 113, 25);
    SetHint(btnOk, QStringLiteral("Änderungen übernehmen"));
    btnOk->setDefault(true);
    setTabOrder(btnOk, edtText);
    btnCancel = ButtonWithPicture(this, QStyle::SP_DialogCancelButton, QStringLiteral("&Abbrechen"));
    btnCancel->setGeometry(280, 260, 113, 25);
    SetHint(btnCancel, QStringLiteral("Änderungen verwerfen"));

    edtText->setText(QStringLiteral("Beispieltext"));
    ShowFont();
    ShowBoxColor();

    connect(edtText, &QLineEdit::textChanged, this, [this] { edtTextChange(); });
    connect(edtBorder, &QSpinBox::textChanged, this, [this] { edtBorderChange(); });
    connect(positionButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            rdbPositionClick();
    });
    for (QSpinBox* box : {edtOpacity, edtSize, edtLogoSize})
        connect(box, &QSpinBox::valueChanged, this, [this] { UpdateView(); });
    for (QComboBox* list : {cboBox, cboLogoPosition})
        connect(list, &QComboBox::currentIndexChanged, this, [this] { UpdateView(); });
    connect(btnChooseFont, &QToolButton::clicked, this, [this] { btnChooseFontClick(); });
    connect(btnBoxColor, &QPushButton::clicked, this, [this] { btnBoxColorClick(); });
    connect(btnChooseLogo, &QToolButton::clicked, this, [this] { btnChooseLogoClick(); });
    connect(btnClearLogo, &QToolButton::clicked, this, [this] { btnClearLogoClick(); });
    connect(btnLoadImage, &QPushButton::clicked, this, [this] { btnLoadImageClick(); });
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    CloseOnEscape(this);

    chooseSampleFile = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Bild laden"), QString(),
                                            SampleFileFilter());
    };
    chooseLogoFile = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Logo wählen"), QString(), SampleFileFilter());
    };
    chooseFont = [this] {
        if (dlgFontDialog_ == nullptr) {
            dlgFontDialog_ = new TfrmFontDialog();
            dlgFontDialog_->setParent(this, dlgFontDialog_->windowFlags());
        }
        return dlgFontDialog_->Choose(textFont_);
    };
    chooseBoxColor = [this]() -> std::optional<TColor> {
        const QColor color = QColorDialog::getColor(QColor(RedOf(boxColor_), GreenOf(boxColor_), BlueOf(boxColor_)),
                                                    this, QStringLiteral("Kastenfarbe"));
        if (!color.isValid())
            return std::nullopt;
        return RGB(uint8_t(color.red()), uint8_t(color.green()), uint8_t(color.blue()));
    };

    LoadOverlaySettings(record_);
    UpdateView();
}

// The text's place: a 3 x 3 choice, each button with its place as hint.
void TfrmCopyright::BuildPlaceControls()
{
    rdbPosition = new QGroupBox(QStringLiteral("Position"), this);
    rdbPosition->setGeometry(220, 106, 96, 82);
    rdbPosition->setCursor(Qt::PointingHandCursor);
    SetHint(rdbPosition, QStringLiteral("Wo der Text im Bild steht"));
    positionButtons = new QButtonGroup(this);
    auto* grid = new QGridLayout(rdbPosition);
    grid->setContentsMargins(10, 2, 6, 4);
    grid->setSpacing(2);
    for (int cell = 0; cell < int(std::size(kReadingOrder)); ++cell) {
        const int id = kReadingOrder[cell];
        auto* item = new QRadioButton(rdbPosition);
        item->setAccessibleName(QString::fromUtf8(kPlaces[id].name));
        SetHint(item, QStringLiteral("Text ") + QString::fromUtf8(kPlaces[id].name));
        positionButtons->addButton(item, id);
        grid->addWidget(item, cell / 3, cell % 3);
    }
    positionButtons->button(0)->setChecked(true);
}

// Box, its colour, opacity and size.
void TfrmCopyright::BuildLookControls()
{
    Caption(this, QStringLiteral("Kasten:"), 326, 112, 60);
    cboBox = new QComboBox(this);
    cboBox->addItems({QStringLiteral("keiner"), QStringLiteral("weiß"), QStringLiteral("farbig")});
    cboBox->setGeometry(390, 108, 90, 22);
    SetHint(cboBox, QStringLiteral("Der Kasten hinter dem Text: keiner, weiß oder in der gewählten Farbe"));
    btnBoxColor = new QPushButton(this);
    btnBoxColor->setGeometry(484, 108, 27, 22);
    btnBoxColor->setCursor(Qt::PointingHandCursor);
    SetHint(btnBoxColor, QStringLiteral("Wählen Sie die Farbe des Kastens"));

    Caption(this, QStringLiteral("Deckkraft:"), 326, 140, 62);
    edtOpacity = PercentBox(this, kMinOpacity, kMaxOpacity, QRect(390, 136, 70, 22));
    SetHint(edtOpacity, QStringLiteral("Deckkraft von Text, Kasten und Logo (100 % deckt ganz)"));

    Caption(this, QStringLiteral("Texthöhe:"), 326, 168, 62);
    edtSize = PercentBox(this, 0, kMaxRelativeSize, QRect(390, 164, 121, 22));
    edtSize->setSpecialValueText(QStringLiteral("Schriftgröße"));
    SetHint(edtSize, QStringLiteral("Texthöhe in Prozent der Bildhöhe; Schriftgröße: die Größe der Schriftart"));
}

// The logo: its file, width and place.
void TfrmCopyright::BuildLogoControls()
{
    Caption(this, QStringLiteral("Logo:"), 220, 200, 60);
    edtLogo = new QLineEdit(this);
    edtLogo->setReadOnly(true);
    edtLogo->setGeometry(282, 196, 172, 22);
    SetHint(edtLogo, QStringLiteral("Ein Bild, das mit dem Text eingefügt wird (Durchsichtigkeit bleibt)"));
    btnChooseLogo = new QToolButton(this);
    btnChooseLogo->setText(QStringLiteral("..."));
    btnChooseLogo->setAutoRaise(true);
    btnChooseLogo->setGeometry(458, 196, 25, 22);
    btnChooseLogo->setCursor(Qt::PointingHandCursor);
    SetHint(btnChooseLogo, QStringLiteral("Wählen Sie ein Logo"));
    btnClearLogo = new QToolButton(this);
    btnClearLogo->setIcon(style()->standardIcon(QStyle::SP_DialogDiscardButton));
    btnClearLogo->setAutoRaise(true);
    btnClearLogo->setGeometry(486, 196, 25, 22);
    btnClearLogo->setCursor(Qt::PointingHandCursor);
    SetHint(btnClearLogo, QStringLiteral("Kein Logo einfügen"));

    Caption(this, QStringLiteral("Breite:"), 220, 228, 60);
    edtLogoSize = PercentBox(this, kMinLogoSize, kMaxLogoSize, QRect(282, 224, 70, 22));
    SetHint(edtLogoSize, QStringLiteral("Breite des Logos in Prozent der Bildbreite"));
    cboLogoPosition = new QComboBox(this);
    for (const int id : kReadingOrder)
        cboLogoPosition->addItem(QString::fromUtf8(kPlaces[id].name), kPlaces[id].align);
    cboLogoPosition->setGeometry(358, 224, 153, 22);
    SetHint(cboLogoPosition, QStringLiteral("Wo das Logo im Bild steht"));
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
    controls.Position = PlaceOfId(Position());
    controls.ColorText = FormatColour(textFont_.Color);
    controls.Box = cboBox->currentIndex();
    controls.BoxColorText = FormatColour(boxColor_);
    controls.Opacity = edtOpacity->value();
    controls.RelativeSize = edtSize->value();
    controls.Logo = logoFile_;
    controls.LogoSize = edtLogoSize->value();
    controls.LogoPosition = cboLogoPosition->currentData().toInt();
    return controls;
}

int TfrmCopyright::Position() const
{
    return std::max(0, positionButtons->checkedId());
}

void TfrmCopyright::SetPosition(int32_t align)
{
    positionButtons->button(IdOfPlace(align))->setChecked(true);
}

void TfrmCopyright::LoadOverlaySettings(const TCopyrightText& settings)
{
    TOverlayControls wanted;
    corvalin::LoadOverlaySettings(wanted, settings);
    TFont font = settings.ChosenFont;  // before the first change stores the record
    // One assignment after the other, each firing its handler on a change,
    // so the record follows the controls step by step.
    const QString text = Q(wanted.Text);
    if (edtText->text() != text)
        edtText->setText(text);
    const QString border = Q(wanted.BorderText);
    if (edtBorder->text() != border)
        edtBorder->setValue(BorderValue(wanted.BorderText));
    if (Position() != IdOfPlace(wanted.Position))
        SetPosition(wanted.Position);
    font.Color = ParseColour(wanted.ColorText).value_or(textFont_.Color);
    if (!(font == textFont_))
        ApplyFont(font);
    boxColor_ = ParseColour(wanted.BoxColorText).value_or(boxColor_);
    ShowBoxColor();
    cboBox->setCurrentIndex(std::clamp(wanted.Box, kBoxNone, kBoxColour));
    edtOpacity->setValue(wanted.Opacity);
    edtSize->setValue(wanted.RelativeSize);
    edtLogoSize->setValue(wanted.LogoSize);
    cboLogoPosition->setCurrentIndex(cboLogoPosition->findData(wanted.LogoPosition));
    if (wanted.Logo != logoFile_) {
        // A logo that cannot be read now is refused when a run starts.
        std::shared_ptr<const TStampLogo> logo;
        try {
            logo = wanted.Logo.empty() ? nullptr : TStampLogo::Load(wanted.Logo);
        } catch (const std::exception&) {
        }
        SetLogo(wanted.Logo, std::move(logo));
    }
}

void TfrmCopyright::StoreOverlaySettings()
{
    corvalin::StoreOverlaySettings(ControlValues(), &textFont_, record_);
}

void TfrmCopyright::UpdateView()
{
    StoreOverlaySettings();
    try {
        TBitmap preview;
        preview.NewRaster(kPreviewWidth, kPreviewHeight, TPixelFormat::pf24bit);
        if (!samplePicture_.Empty())
            preview.Canvas().DrawStretched(TRect{0, 0, kPreviewWidth, kPreviewHeight}, samplePicture_);
        else
            DrawNeutralSample(preview);
        DrawStamp(preview, SnapshotOverlay(record_, true, previewLogo_));
        imgImage->setPixmap(QPixmap::fromImage(ToQImage(preview)));
    } catch (const std::exception&) {
        // The preview keeps what it showed before.
    }
}

QImage TfrmCopyright::PreviewImage() const
{
    return imgImage->pixmap().toImage();
}

QImage TfrmCopyright::SampleImage() const
{
    TBitmap sample;
    sample.NewRaster(kPreviewWidth, kPreviewHeight, TPixelFormat::pf24bit);
    if (!samplePicture_.Empty())
        sample.Canvas().DrawStretched(TRect{0, 0, kPreviewWidth, kPreviewHeight}, samplePicture_);
    else
        DrawNeutralSample(sample);
    return ToQImage(sample).convertToFormat(PreviewImage().format());
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
    ShowFont();
    UpdateView();
}

void TfrmCopyright::ShowFont()
{
    labFont->setText(FontDescription(textFont_));
    QPalette palette = labFontColor->palette();
    palette.setColor(QPalette::Window,
                     QColor(RedOf(textFont_.Color), GreenOf(textFont_.Color), BlueOf(textFont_.Color)));
    labFontColor->setPalette(palette);
}

void TfrmCopyright::btnBoxColorClick()
{
    if (const std::optional<TColor> color = chooseBoxColor()) {
        // A chosen colour is meant to be seen.
        cboBox->setCurrentIndex(kBoxColour);
        ApplyBoxColor(*color);
    }
}

void TfrmCopyright::ApplyBoxColor(TColor color)
{
    boxColor_ = color;
    ShowBoxColor();
    UpdateView();
}

void TfrmCopyright::ShowBoxColor()
{
    ShowColour(btnBoxColor, boxColor_);
}

void TfrmCopyright::btnChooseLogoClick()
{
    const QString fileName = chooseLogoFile();
    if (!fileName.isEmpty())
        ApplyLogo(fileName);
}

void TfrmCopyright::btnClearLogoClick()
{
    SetLogo("", nullptr);
}

bool TfrmCopyright::ApplyLogo(const QString& fileName)
{
    std::shared_ptr<const TStampLogo> logo;
    try {
        logo = TStampLogo::Load(S(fileName));
    } catch (const std::exception&) {
        QMessageBox::warning(this, QStringLiteral("Text einfügen"),
                             QStringLiteral("Logo konnte nicht geladen werden!"));
        return false;
    }
    SetLogo(S(fileName), std::move(logo));
    return true;
}

void TfrmCopyright::SetLogo(const std::string& fileName, std::shared_ptr<const TStampLogo> logo)
{
    logoFile_ = fileName;
    previewLogo_ = std::move(logo);
    edtLogo->setText(Q(fileName));
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

void TfrmCopyright::btnCancelClick()
{
    cancelled_ = true;
    close();
}

void TfrmCopyright::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    LoadOverlaySettings(record_);
    openedWith_ = record_;
    cancelled_ = false;
    btnOk->setFocus();
}

void TfrmCopyright::done(int result)
{
    // "&Abbrechen" puts back what the dialog opened with; every other way
    // of closing (Ok, Esc, the close box) keeps the edits.
    if (cancelled_)
        LoadOverlaySettings(openedWith_);
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

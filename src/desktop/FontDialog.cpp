#include "desktop/FontDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFontInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "picture/FontMatch.h"
#include "desktop/WindowSupport.h"

namespace corvalin {
namespace {

QColor ToQColor(TColor color)
{
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

TColor FromQColor(const QColor& color)
{
    return RGB(uint8_t(color.red()), uint8_t(color.green()), uint8_t(color.blue()));
}

void ShowColorOnButton(QPushButton* button, TColor color)
{
    QPixmap swatch(14, 14);
    swatch.fill(ToQColor(color));
    button->setIcon(QIcon(swatch));
}

}  // namespace

QFont ToQFont(const TFont& font)
{
    QFont result(Q(font.Name));
    result.setPixelSize(std::max(1, font.Height < 0 ? -font.Height : font.Height));
    result.setBold(font.Bold);
    result.setItalic(font.Italic);
    result.setUnderline(font.Underline);
    result.setStrikeOut(font.StrikeOut);
    if (font.Pitch == TFontPitch::fpFixed)
        result.setFixedPitch(true);
    return result;
}

TfrmFontDialog::TfrmFontDialog()
{
    setWindowTitle(QStringLiteral("Schriftart"));
    setFont(DefaultWindowFont());

    cboFace = new QFontComboBox(this);
    edtSize = new QSpinBox(this);
    edtSize->setRange(4, 400);
    edtSize->setSuffix(QStringLiteral(" Pixel"));
    cbxBold = new QCheckBox(QStringLiteral("Fett"), this);
    cbxItalic = new QCheckBox(QStringLiteral("Kursiv"), this);
    cbxUnderline = new QCheckBox(QStringLiteral("Unterstrichen"), this);
    cbxStrikeOut = new QCheckBox(QStringLiteral("Durchgestrichen"), this);
    btnColor = new QPushButton(QStringLiteral("&Farbe..."), this);
    labSample = new QLabel(QStringLiteral("AaBbYyZz ÄÖÜ äöü ß"), this);
    labSample->setMinimumSize(260, 48);
    labSample->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    labSample->setAlignment(Qt::AlignCenter);
    labSample->setAutoFillBackground(true);

    auto* styles = new QHBoxLayout;
    for (QCheckBox* box : {cbxBold, cbxItalic, cbxUnderline, cbxStrikeOut})
        styles->addWidget(box);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Schrift&art:"), cboFace);
    form->addRow(QStringLiteral("&Größe:"), edtSize);
    form->addRow(QStringLiteral("Stil:"), styles);
    form->addRow(QStringLiteral("Farbe:"), btnColor);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("&Abbrechen"), QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Beispiel:"), this));
    layout->addWidget(labSample);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(btnColor, &QPushButton::clicked, this, [this] { ChooseColor(); });
    connect(cboFace, &QFontComboBox::currentFontChanged, this, [this] { UpdateSample(); });
    connect(edtSize, &QSpinBox::valueChanged, this, [this] { UpdateSample(); });
    for (QCheckBox* box : {cbxBold, cbxItalic, cbxUnderline, cbxStrikeOut})
        connect(box, &QCheckBox::toggled, this, [this] { UpdateSample(); });
    SetChosen(font_);
}

TFont TfrmFontDialog::Chosen() const
{
    TFont font = font_;
    const std::string face = S(cboFace->currentFont().family());
    if (face != MatchedFontFamily(font_))
        font.Name = face;
    font.Height = -edtSize->value();
    font.Bold = cbxBold->isChecked();
    font.Italic = cbxItalic->isChecked();
    font.Underline = cbxUnderline->isChecked();
    font.StrikeOut = cbxStrikeOut->isChecked();
    font.Pitch = QFontInfo(cboFace->currentFont()).fixedPitch() ? TFontPitch::fpFixed
                                                               : TFontPitch::fpDefault;
    return font;
}

void TfrmFontDialog::SetChosen(const TFont& font)
{
    font_ = font;
    // The combo box shows the face fontconfig resolves the name to.
    cboFace->setCurrentFont(QFont(Q(MatchedFontFamily(font))));
    edtSize->setValue(font.Height < 0 ? -font.Height : font.Height);
    cbxBold->setChecked(font.Bold);
    cbxItalic->setChecked(font.Italic);
    cbxUnderline->setChecked(font.Underline);
    cbxStrikeOut->setChecked(font.StrikeOut);
    ShowColorOnButton(btnColor, font.Color);
    UpdateSample();
}

std::optional<TFont> TfrmFontDialog::Choose(const TFont& start)
{
    const TFont before = start;
    SetChosen(before);
    if (exec() != QDialog::Accepted) {
        SetChosen(before);
        return std::nullopt;
    }
    font_ = Chosen();
    return font_;
}

void TfrmFontDialog::ChooseColor()
{
    const QColor color = QColorDialog::getColor(ToQColor(font_.Color), this,
                                                QStringLiteral("Farbe"));
    if (!color.isValid())
        return;
    font_.Color = FromQColor(color);
    ShowColorOnButton(btnColor, font_.Color);
    UpdateSample();
}

void TfrmFontDialog::UpdateSample()
{
    labSample->setFont(ToQFont(Chosen()));
    QPalette palette = labSample->palette();
    palette.setColor(QPalette::WindowText, ToQColor(font_.Color));
    palette.setColor(QPalette::Window, Qt::white);
    labSample->setPalette(palette);
}

}  // namespace corvalin

#include "desktop/MoreSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/OutputNames.h"
#include "desktop/WindowSupport.h"

namespace corvalin {
namespace {

// Any file this program writes is smaller than 2 GB (the switch's limit).
constexpr int kMaxKilobytes = 2097151;

QCheckBox* Choice(const QString& caption, const QString& hint, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    SetHint(box, hint);
    return box;
}

}  // namespace

TfrmMoreSettings::TfrmMoreSettings(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Weitere Einstellungen"));
    setFont(DefaultWindowFont());

    auto* picture = new QGroupBox(QStringLiteral("Bild"), this);
    cbxSmooth = Choice(QStringLiteral("Glatt skalieren"),
                             QStringLiteral("Beim Verkleinern und Vergrößern weich rechnen statt Pixel "
                                            "zu wiederholen"),
                             picture);
    cbxShrinkOnly = Choice(QStringLiteral("Nie vergrößern"),
                                 QStringLiteral("Bilder, die schon kleiner sind als die gewünschte "
                                                "Größe, behalten ihre Größe"),
                                 picture);
    cbxAutoOrient = Choice(QStringLiteral("Nach EXIF-Ausrichtung drehen"),
                           QStringLiteral("Fotos, die gedreht gespeichert sind, werden aufrecht "
                                          "umgewandelt"),
                           picture);
    cbxSrgb = Choice(QStringLiteral("In sRGB umrechnen"),
                     QStringLiteral("Farben mit eingebettetem Farbprofil werden in sRGB "
                                    "umgerechnet"),
                     picture);
    auto* pictureLayout = new QVBoxLayout(picture);
    for (QCheckBox* box : {cbxSmooth, cbxShrinkOnly, cbxAutoOrient, cbxSrgb})
        pictureLayout->addWidget(box);

    auto* file = new QGroupBox(QStringLiteral("Datei"), this);
    cbxStrip = Choice(QStringLiteral("Metadaten entfernen"),
                      QStringLiteral("Kamera- und Ortsangaben, Schlagworte und Kommentare werden "
                                     "nicht mitgespeichert"),
                      file);
    cbxKeepDate = Choice(QStringLiteral("Dateidatum beibehalten"),
                         QStringLiteral("Die umgewandelte Datei bekommt das Datum des Originals"), file);
    cbxAskReplace = Choice(QStringLiteral("Vor dem Ersetzen vorhandener Dateien fragen"),
                           QStringLiteral("\"Weiter\" fragt, bevor Originale ersetzt oder vorhandene "
                                          "Dateien überschrieben werden"),
                           file);
    cbxTrash = Choice(QStringLiteral("Ersetzte Originale in den Papierkorb legen"),
                      QStringLiteral("Ein Original, das ersetzt wird, kommt zuerst in den Papierkorb "
                                     "und lässt sich von dort zurückholen"),
                      file);
    edtOutDir = new QLineEdit(file);
    edtOutDir->setPlaceholderText(QStringLiteral("neben den Originalen"));
    SetHint(edtOutDir, QStringLiteral("Verzeichnis für die umgewandelten Bilder; die Originale "
                                      "bleiben dann unberührt. Leer: neben den Originalen"));
    btnOutDir = new QToolButton(file);
    btnOutDir->setIcon(QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon));
    btnOutDir->setAutoRaise(true);
    SetHint(btnOutDir, QStringLiteral("Wählen Sie ein Ausgabeverzeichnis"));
    edtPrefix = new QLineEdit(file);
    SetHint(edtPrefix, QStringLiteral("Namensvorsatz der Kopien, z. B. \"Neu_\""));
    edtSuffix = new QLineEdit(file);
    SetHint(edtSuffix, QStringLiteral("Namenszusatz der Kopien vor der Endung, z. B. \"_klein\""));
    cboExisting = new QComboBox(file);
    cboExisting->addItems({QStringLiteral("Ersetzen"), QStringLiteral("Überspringen"), QStringLiteral("Nummerieren")});
    SetHint(cboExisting, QStringLiteral("Was mit einer Zieldatei geschieht, die es schon gibt"));
    edtMaxKb = new QSpinBox(file);
    edtMaxKb->setRange(0, kMaxKilobytes);
    edtMaxKb->setSuffix(QStringLiteral(" KB"));
    edtMaxKb->setSpecialValueText(QStringLiteral("keine Grenze"));
    SetHint(edtMaxKb, QStringLiteral("Bei Formaten mit Qualität wird die Qualität gesenkt, bis die "
                                     "Datei höchstens so groß ist. 0: keine Grenze"));

    auto* outDir = new QHBoxLayout;
    outDir->setContentsMargins(0, 0, 0, 0);
    outDir->addWidget(edtOutDir);
    outDir->addWidget(btnOutDir);
    auto* form = new QFormLayout(file);
    form->addRow(cbxStrip);
    form->addRow(cbxKeepDate);
    form->addRow(cbxAskReplace);
    form->addRow(cbxTrash);
    auto* labOutDir = new QLabel(QStringLiteral("&Ausgabeverzeichnis:"), file);
    labOutDir->setBuddy(edtOutDir);
    form->addRow(labOutDir, outDir);
    form->addRow(QStringLiteral("&Präfix:"), edtPrefix);
    form->addRow(QStringLiteral("&Suffix:"), edtSuffix);
    form->addRow(QStringLiteral("&Vorhandene Dateien:"), cboExisting);
    form->addRow(QStringLiteral("&Höchstens:"), edtMaxKb);

    labProblem = new QLabel(this);
    labProblem->setWordWrap(true);
    labProblem->setStyleSheet(QStringLiteral("color: #b00000"));
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(file);
    layout->addWidget(labProblem);
    layout->addWidget(buttons);

    chooseFolder = [this](const std::string& shown) -> std::optional<std::string> {
        const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Ausgabeverzeichnis wählen"), Q(shown));
        if (chosen.isEmpty())
            return std::nullopt;
        return S(chosen.endsWith(QLatin1Char('/')) ? chosen : chosen + QLatin1Char('/'));
    };
    connect(btnOutDir, &QToolButton::clicked, this, [this] { BrowseOutDir(); });
    for (QLineEdit* edit : {edtPrefix, edtSuffix})
        connect(edit, &QLineEdit::textChanged, this, [this] { ShowProblem(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (EntriesValid())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ShowProblem();
}

void TfrmMoreSettings::SetChoices(const TScalingChoices& scaling, const TMetadataChoices& metadata,
                                  const TOutputChoices& output, bool askBeforeReplacing)
{
    cbxSmooth->setChecked(scaling.Smooth);
    cbxShrinkOnly->setChecked(scaling.ShrinkOnly);
    cbxAskReplace->setChecked(askBeforeReplacing);
    cbxAutoOrient->setChecked(metadata.AutoOrient);
    cbxStrip->setChecked(metadata.Strip);
    cbxKeepDate->setChecked(metadata.KeepDate);
    cbxSrgb->setChecked(metadata.Srgb);
    edtOutDir->setText(Q(output.Folder));
    edtPrefix->setText(Q(output.Prefix));
    edtSuffix->setText(Q(output.Suffix));
    cboExisting->setCurrentIndex(output.Existing);
    edtMaxKb->setValue(output.MaxKilobytes);
    cbxTrash->setChecked(output.Trash);
}

TScalingChoices TfrmMoreSettings::Scaling() const
{
    TScalingChoices scaling;
    scaling.Smooth = cbxSmooth->isChecked();
    scaling.ShrinkOnly = cbxShrinkOnly->isChecked();
    return scaling;
}

TMetadataChoices TfrmMoreSettings::Metadata() const
{
    TMetadataChoices metadata;
    metadata.AutoOrient = cbxAutoOrient->isChecked();
    metadata.Strip = cbxStrip->isChecked();
    metadata.KeepDate = cbxKeepDate->isChecked();
    metadata.Srgb = cbxSrgb->isChecked();
    return metadata;
}

TOutputChoices TfrmMoreSettings::Output() const
{
    TOutputChoices output;
    output.Folder = S(edtOutDir->text());
    output.Prefix = S(edtPrefix->text());
    output.Suffix = S(edtSuffix->text());
    output.Existing = cboExisting->currentIndex();
    output.MaxKilobytes = edtMaxKb->value();
    output.Trash = cbxTrash->isChecked();
    return output;
}

bool TfrmMoreSettings::AskBeforeReplacing() const
{
    return cbxAskReplace->isChecked();
}

bool TfrmMoreSettings::EntriesValid() const
{
    return IsNameText(S(edtPrefix->text())) && IsNameText(S(edtSuffix->text()));
}

void TfrmMoreSettings::ShowProblem()
{
    const bool valid = EntriesValid();
    labProblem->setText(valid ? QString() : QString::fromUtf8(kNameTextRule));
    labProblem->setVisible(!valid);
    buttons->button(QDialogButtonBox::Ok)->setEnabled(valid);
}

void TfrmMoreSettings::BrowseOutDir()
{
    if (const std::optional<std::string> chosen = chooseFolder(S(edtOutDir->text())))
        edtOutDir->setText(Q(*chosen));
}

}  // namespace corvalin

#include "desktop/MainWindow.h"

#include <algorithm>
#include <limits>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMimeData>
#include <QScopeGuard>
#include <QUrl>
#include <QFileDialog>
#include <QInputDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/BatchRun.h"
#include "app/CommandLine.h"
#include "app/PicturesFolder.h"
#include "app/Presets.h"
#include "app/ResultPlacement.h"
#include "app/Settings.h"
#include "app/SettingsStore.h"
#include "common/Shell.h"
#include "common/Tools.h"
#include "desktop/About.h"
#include "desktop/Documentation.h"
#include "desktop/MoreSettings.h"
#include "desktop/OpenFailure.h"
#include "desktop/WindowSupport.h"
#include "desktop/Copyright.h"
#include "desktop/FileList.h"
#include "desktop/Progress.h"

namespace corvalin {
namespace {

constexpr int kClientWidth = 639;
// What a result line keeps besides its text.
constexpr int kPathRole = Qt::UserRole;
constexpr int kReasonRole = Qt::UserRole + 1;
constexpr int kClientHeight = 531;

const QString kWebsite = QStringLiteral(CORVALIN_WEBSITE);
const QString kEmail = QStringLiteral(CORVALIN_EMAIL);

QString LinesOf(const std::string& text)
{
    return Q(text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// Lines holding tabs (the command-line help) become a two-column table, so
// the explanations line up whatever the font's width.
QString AsTable(const QString& lines)
{
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"1\">");
    for (const QString& line : lines.split(QLatin1Char('\n'))) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        const QString left = (tab < 0 ? line : line.left(tab)).toHtmlEscaped();
        if (tab < 0) {
            html += QStringLiteral("<tr><td colspan=\"2\">%1&nbsp;</td></tr>").arg(left);
            continue;
        }
        const QString right = line.mid(tab).remove(QLatin1Char('\t')).toHtmlEscaped();
        html += QStringLiteral("<tr><td style=\"padding-right:16px\">%1</td><td>%2</td></tr>")
                    .arg(left, right);
    }
    return html + QStringLiteral("</table>");
}

QLabel* Label(const QString& caption, QWidget* parent, const QRect& geometry)
{
    auto* label = new QLabel(caption, parent);
    label->setGeometry(geometry);
    return label;
}

QSpinBox* NumberBox(QWidget* parent, int minimum, int maximum, const QRect& geometry)
{
    auto* box = new QSpinBox(parent);
    box->setRange(minimum, maximum);
    box->setGeometry(geometry);
    return box;
}

// A radio group: a framed box with one button per entry, ids in entry order.
QGroupBox* RadioGroup(const QString& caption, const std::vector<std::string>& entries,
                      QWidget* parent, const QRect& geometry, QButtonGroup*& buttons)
{
    auto* group = new QGroupBox(caption, parent);
    group->setGeometry(geometry);
    buttons = new QButtonGroup(group);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(8, 2, 4, 4);
    layout->setSpacing(0);
    for (size_t index = 0; index < entries.size(); ++index) {
        auto* button = new QRadioButton(Q(entries[index]), group);
        buttons->addButton(button, int(index));
        layout->addWidget(button);
    }
    layout->addStretch();
    return group;
}

void SelectRadio(QButtonGroup* buttons, int index)
{
    if (QAbstractButton* button = buttons->button(index)) {
        button->setChecked(true);
        return;
    }
    // No selection: an exclusive group cannot untick its last button.
    buttons->setExclusive(false);
    for (QAbstractButton* button : buttons->buttons())
        button->setChecked(false);
    buttons->setExclusive(true);
}

void FillCombo(QComboBox* combo, const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries)
        combo->addItem(Q(entry));
}

// A group box's caption is bold 13-pixel type; its controls keep the
// window's font.
void CaptionFont(QGroupBox* group)
{
    group->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 13, true));
}

void KeepWindowFont(QGroupBox* group)
{
    for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->testAttribute(Qt::WA_SetFont))
            child->setFont(DefaultWindowFont());
}

QIcon StandardIcon(QStyle::StandardPixmap icon)
{
    return QApplication::style()->standardIcon(icon);
}

}  // namespace

void TMarkAllBox::nextCheckState()
{
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

TfrmCorvalin::TfrmCorvalin() : frontEnd_(*this), session_(frontEnd_)
{
    setWindowTitle(QStringLiteral("Corvalin"));
    setFont(DefaultWindowFont());
    // Below its designed size the window scrolls its content, so every
    // control stays reachable on a small screen.
    auto* scroller = new QScrollArea(this);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    auto* client = new QWidget(scroller);
    CreateSetupGroup(client);
    CreateResultGroup(client);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(6, 4, 6, 0);
    layout->setSpacing(4);
    layout->addWidget(gbxSetup);
    labPlacement = new QLabel(client);
    labPlacement->setContentsMargins(8, 0, 8, 0);
    labPlacement->setTextFormat(Qt::PlainText);
    SetHint(labPlacement, QStringLiteral("Wohin die Ergebnisse geschrieben werden; ändern unter "
                                         "\"Als Kopie speichern\" und \"Weitere Einstellungen...\""));
    layout->addWidget(labPlacement);
    // The result list takes the room the window gains.
    layout->addWidget(gbxResult, 1);
    scroller->setWidget(client);
    setCentralWidget(scroller);
    CreateMenu();
    statusBar()->setSizeGripEnabled(true);
    ConnectHandlers();
    CloseOnEscape(this);
    // Drops go to the window, which puts the folder into the folder box;
    // an edit box would insert the dropped address as text.
    setAcceptDrops(true);
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->setAcceptDrops(false);

    const int frameParts = menuBar()->sizeHint().height();
    resize(kClientWidth, kClientHeight + frameParts);

    chooseFolder = [this](const std::string& start) -> std::optional<std::string> {
        const QString chosen =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Verzeichnis wählen"), Q(start));
        if (chosen.isEmpty())
            return std::nullopt;
        return S(chosen);
    };
    showMessageBox = [this](const std::string& text) {
        const QString lines = LinesOf(text);
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Corvalin"),
                        lines.contains(QLatin1Char('\t')) ? AsTable(lines) : lines,
                        QMessageBox::Ok, isVisible() ? this : nullptr);
        box.setTextFormat(lines.contains(QLatin1Char('\t')) ? Qt::RichText : Qt::PlainText);
        box.exec();
    };
    askPresetName = [this]() -> std::optional<std::string> {
        bool ok = false;
        const QString name =
            QInputDialog::getText(this, QStringLiteral("Voreinstellung speichern"),
                                  QStringLiteral("Name der Voreinstellung:"), QLineEdit::Normal, QString(), &ok);
        return ok ? std::optional(S(name)) : std::nullopt;
    };
    askReplacing = [this](const std::string& question, bool& dontAskAgain) {
        QWidget* front = QApplication::activeModalWidget();
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Vorhandene Dateien ersetzen?"), LinesOf(question),
                        QMessageBox::Yes | QMessageBox::No, front != nullptr ? front : this);
        box.setDefaultButton(QMessageBox::No);
        box.setCheckBox(new QCheckBox(QStringLiteral("Nicht mehr fragen")));
        const bool yes = box.exec() == QMessageBox::Yes;
        dontAskAgain = box.checkBox()->isChecked();
        return yes;
    };
    askCancelRun = [this] {
        QWidget* front = QApplication::activeModalWidget();
        QMessageBox box(QMessageBox::Question, QStringLiteral("Corvalin"),
                        QStringLiteral("Die Umwandlung läuft noch. Abbrechen und Corvalin beenden?"),
                        QMessageBox::Yes | QMessageBox::No, front != nullptr ? front : this);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    // The line under the settings follows every control it describes.
    for (QCheckBox* box : {cbxSaveAsCopy, cbxSearchSubdirectories})
        connect(box, &QCheckBox::toggled, this, [this] { ShowResultPlacement(); });
    connect(edtDirectory, &QLineEdit::textChanged, this, [this] { ShowResultPlacement(); });
    connect(cboConvertFormat, &QComboBox::currentIndexChanged, this, [this] { ShowResultPlacement(); });
    ShowResultPlacement();
}

void TfrmCorvalin::ShowResultPlacement()
{
    labPlacement->setText(Q(ResultPlacementLine(CurrentSettings(), S(QDir::homePath()))));
}

void TfrmCorvalin::CreateSetupGroup(QWidget* parent)
{
    gbxSetup = new QGroupBox(QStringLiteral("Einstellungen"), parent);
    CaptionFont(gbxSetup);
    gbxSetup->setMinimumSize(627, 238);
    gbxSetup->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QWidget* g = gbxSetup;

    labDirectory = Label(QStringLiteral("Verzeichnis"), g, {12, 22, 120, 16});
    edtDirectory = new QLineEdit(QStringLiteral("c:\\"), g);
    edtDirectory->setGeometry(12, 39, 252, 23);
    SetHint(edtDirectory, QStringLiteral("Verzeichnis mit Bildern, die konvertiert werden sollen"));
    btnBrowse = new QToolButton(g);
    btnBrowse->setIcon(StandardIcon(QStyle::SP_DirOpenIcon));
    btnBrowse->setAutoRaise(true);
    btnBrowse->setGeometry(266, 39, 24, 23);
    SetHint(btnBrowse, QStringLiteral("Wählen Sie ein Verzeichnis"));

    cbxSearchSubdirectories = new QCheckBox(QStringLiteral("Unterverzeichnisse durchsuchen"), g);
    cbxSearchSubdirectories->setGeometry(12, 68, 270, 19);
    cbxSearchSubdirectories->setChecked(true);
    SetHint(cbxSearchSubdirectories, QStringLiteral("Es werden alle Unterverzeichnisse durchsucht, "
                                                    "falls diese Option aktiviert ist"));
    cbxSaveAsCopy = new QCheckBox(QStringLiteral("Als Kopie speichern"), g);
    cbxSaveAsCopy->setGeometry(12, 88, 270, 19);
    cbxSaveAsCopy->setChecked(true);
    SetHint(cbxSaveAsCopy, QStringLiteral("Falls diese Option aktiviert ist, werden alle Bilder als "
                                          "Kopie gespeichert. Ansonsten werden sie überschrieben, "
                                          "außer mit einem Ausgabeverzeichnis: dann landen die "
                                          "Ergebnisse immer dort, die Originale bleiben unberührt, "
                                          "und diese Option bestimmt nur den Namensvorsatz. "
                                          "Frühere Kopien (Namen mit dem Namensvorsatz) werden "
                                          "nicht noch einmal umgewandelt."));
    cbxCopyright = new QCheckBox(QStringLiteral("Text einfügen"), g);
    cbxCopyright->setGeometry(12, 108, 110, 19);
    SetHint(cbxCopyright, QStringLiteral("Mit dieser Funktion können Sie einen beliebigen Text zu "
                                         "den Bildern hinzufügen"));
    btnChooseFont = new QToolButton(g);
    btnChooseFont->setText(QStringLiteral("..."));
    btnChooseFont->setAutoRaise(true);
    btnChooseFont->setGeometry(124, 106, 26, 22);
    SetHint(btnChooseFont, QStringLiteral("Wählen Sie eine Schriftart"));

    labFileTypes = Label(QStringLiteral("Dateitypen"), g, {12, 134, 120, 16});
    lbxFileTypes = new QListWidget(g);
    lbxFileTypes->setGeometry(12, 151, 190, 78);
    lbxFileTypes->setFlow(QListView::TopToBottom);
    lbxFileTypes->setWrapping(true);
    lbxFileTypes->setResizeMode(QListView::Adjust);
    lbxFileTypes->setGridSize(QSize(60, 15));
    lbxFileTypes->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lbxFileTypes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const std::string& mask : FileTypeEntries()) {
        auto* item = new QListWidgetItem(Q(mask), lbxFileTypes);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    SetHint(lbxFileTypes, QStringLiteral("Wählen Sie die gewünschten Dateiformate aus"));
    cbxMarkAll = new TMarkAllBox(QStringLiteral("Alle markieren"), g);
    cbxMarkAll->setGeometry(12 + 190 + 8, 151, 100, 19);
    cbxMarkAll->setCheckState(Qt::Checked);
    FitFileTypesToEntries();

    labWidth = Label(QStringLiteral("Breite"), g, {312, 22, 64, 16});
    edtWidth = NumberBox(g, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(),
                         {312, 39, 64, 23});
    SetHint(edtWidth, QStringLiteral("Breite des Bildes in Pixel"));
    labAutoWidth = Label(QStringLiteral("auto"), g, {316, 42, 56, 16});
    labAutoWidth->lower();
    labX = Label(QStringLiteral("X"), g, {382, 42, 12, 16});
    labX->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11, true));
    labHeight = Label(QStringLiteral("Höhe"), g, {398, 22, 64, 16});
    edtHeight = NumberBox(g, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(),
                          {398, 39, 64, 23});
    SetHint(edtHeight, QStringLiteral("Höhe des Bildes in Pixel"));
    labAutoHeight = Label(QStringLiteral("auto"), g, {402, 42, 56, 16});
    labAutoHeight->lower();
    labQuality = Label(QStringLiteral("Qualität"), g, {470, 22, 90, 16});
    edtQuality = NumberBox(g, 0, 100, {470, 39, 64, 23});
    SetHint(edtQuality, QStringLiteral("Qualität in Prozent (1-100). Je höher die Qualität, desto "
                                       "größer die Dateigröße!"));

    rdbCalcType = RadioGroup(QStringLiteral("Anpassen an"), FitModeEntries(), g,
                             {312, 68, 150, 108}, calcTypeButtons);
    SetHint(rdbCalcType, QStringLiteral("Bei Maximum wird die größere Seite an die gegebene Länge "
                                        "angepasst, bei Minimum die kleinere Seite"));
    rdbRotate = RadioGroup(QStringLiteral("Bild drehen"), RotationEntries(), g,
                           {470, 68, 145, 108}, rotateButtons);
    SetHint(rdbRotate, QStringLiteral("Bilder werden immer im Uhrzeigersinn gedreht!"));

    labConvertFormat = Label(QStringLiteral("Zielformat"), g, {312, 182, 150, 16});
    cboConvertFormat = new QComboBox(g);
    cboConvertFormat->setGeometry(312, 199, 150, 24);
    FillCombo(cboConvertFormat, TargetFormatEntries());
    SetHint(cboConvertFormat, QStringLiteral("Wählen Sie das gewünschte Zielformat"));
    labColorDepth = Label(QStringLiteral("Farbtiefe"), g, {470, 182, 145, 16});
    cboColorDepth = new QComboBox(g);
    cboColorDepth->setGeometry(470, 199, 145, 24);
    FillCombo(cboColorDepth, ColorDepthEntries());
    SetHint(cboColorDepth, QStringLiteral("Wählen Sie die gewünschte Farbtiefe. Je höher die "
                                          "Farbtiefe, desto besser die Qualität und desto größer "
                                          "die Datei."));
    KeepWindowFont(gbxSetup);
    for (QGroupBox* radio : {rdbCalcType, rdbRotate})
        for (QWidget* child : radio->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            child->setFont(DefaultWindowFont());
    WidenListToEntries(cboConvertFormat);
    WidenListToEntries(cboColorDepth);
}

void TfrmCorvalin::FitFileTypesToEntries()
{
    // Every entry whole: the columns are as wide as the longest entry with
    // its tick; the list takes the room up to the next column of controls,
    // and "Alle markieren" moves up beside the caption when it needs that.
    const QFontMetrics metrics(DefaultWindowFont());
    int widest = 0;
    for (const std::string& mask : FileTypeEntries())
        widest = std::max(widest, metrics.horizontalAdvance(Q(mask)));
    const QStyle* style = lbxFileTypes->style();
    const int column = widest + style->pixelMetric(QStyle::PM_IndicatorWidth) + 12;
    const int rows = std::max(1, (lbxFileTypes->height() - 4) / 15);
    const int columns = (lbxFileTypes->count() + rows - 1) / rows;
    const int needed = columns * column + 4;
    lbxFileTypes->setGridSize(QSize(std::max(60, column), 15));
    if (needed <= 190)
        return;
    lbxFileTypes->resize(std::min(needed, 300 - 12), lbxFileTypes->height());
    lbxFileTypes->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    cbxMarkAll->move(12 + 96, 133);
}

void TfrmCorvalin::WidenListToEntries(QComboBox* combo)
{
    QAbstractItemView* view = combo->view();
    view->setFont(combo->font());
    const int scrollBar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    const int entries = view->sizeHintForColumn(0) + 2 * view->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) +
                        scrollBar;
    view->setMinimumWidth(std::max(combo->width(), entries));
}

void TfrmCorvalin::CreateResultGroup(QWidget* parent)
{
    gbxResult = new QGroupBox(QStringLiteral("Ergebnis"), parent);
    CaptionFont(gbxResult);
    gbxResult->setMinimumSize(627, 238);
    QWidget* g = gbxResult;

    lbxResult = new QListWidget(g);
    // The buttons and totals keep their column at the right edge.
    auto* column = new QWidget(g);
    column->setFixedSize(138, 214);
    auto* listBox = new QVBoxLayout;
    listBox->addWidget(lbxResult);
    listBox->addSpacing(8);
    auto* layout = new QHBoxLayout(g);
    // The group's own margins (its caption's room) come first: what is left
    // puts the list and the column where they always were.
    const QMargins own = gbxResult->contentsMargins();
    layout->setContentsMargins(std::max(0, 12 - own.left()), std::max(0, 22 - own.top()), std::max(0, 11 - own.right()),
                               std::max(0, 2 - own.bottom()));
    layout->setSpacing(0);
    layout->addLayout(listBox, 1);
    layout->addWidget(column, 0, Qt::AlignTop);
    g = column;

    btnConvert = new QPushButton(StandardIcon(QStyle::SP_MediaPlay), QStringLiteral("&Umwandeln..."), g);
    btnConvert->setGeometry(10, 0, 100, 27);
    btnConvert->setDefault(true);
    SetHint(btnConvert, QStringLiteral("Alle gefunden Bilder zum Konvertieren anzeigen"));
    btnMoreSettings = new QToolButton(g);
    btnMoreSettings->setIcon(StandardIcon(QStyle::SP_FileDialogDetailedView));
    btnMoreSettings->setGeometry(112, 0, 26, 27);
    SetHint(btnMoreSettings, QStringLiteral("Weitere Einstellungen|Weitere Einstellungen: Metadaten, "
                                            "Ausgabeverzeichnis, Namen der Kopien, vorhandene Dateien, "
                                            "Höchstgröße"));

    const QFont bold = PixelFont(QStringLiteral("MS Sans Serif"), 11, true);
    labResultFiles = Label(QStringLiteral("0 Dateien"), g, {0, 32, 138, 16});
    SetHint(labResultFiles, QStringLiteral("Ergebnis: Alle konvertierten Dateien"));
    labResultSizeBefore = Label(Q(FormatByteSize(0)) + QStringLiteral(" vorher"), g, {0, 48, 138, 16});
    SetHint(labResultSizeBefore, QStringLiteral("Ergebnis: Größe aller Dateien vorher"));
    labResultSizeAfter = Label(Q(FormatByteSize(0)) + QStringLiteral(" nachher"), g, {0, 64, 138, 16});
    SetHint(labResultSizeAfter, QStringLiteral("Ergebnis: Größe aller Dateien nachher"));
    for (QLabel* label : {labResultFiles, labResultSizeBefore, labResultSizeAfter}) {
        label->setFont(bold);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }

    btnShowImage = new QPushButton(StandardIcon(QStyle::SP_FileIcon), QStringLiteral("&Anzeigen"), g);
    btnShowImage->setGeometry(10, 86, 128, 24);
    btnShowImage->hide();
    SetHint(btnShowImage, QStringLiteral("Markiertes Bild anzeigen"));
    btnShowFolder = new QPushButton(StandardIcon(QStyle::SP_DirIcon), QStringLiteral("&Ordner"), g);
    btnShowFolder->setGeometry(10, 112, 128, 24);
    SetHint(btnShowFolder, QStringLiteral("Konvertierte Bilder anzeigen"));
    btnOrderPictures = new QPushButton(StandardIcon(QStyle::SP_DriveNetIcon), QStringLiteral("&Entwickeln"), g);
    btnOrderPictures->setGeometry(10, 138, 128, 24);
    SetHint(btnOrderPictures, QStringLiteral("Konvertierte Bilder entwickeln"));
    btnAbout = new QPushButton(StandardIcon(QStyle::SP_MessageBoxInformation), QStringLiteral("&Info"), g);
    btnAbout->setGeometry(10, 164, 128, 24);
    SetHint(btnAbout, QStringLiteral("Weitere Informationen zum Programm"));
    btnExit = new QPushButton(StandardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("&Schließen"), g);
    btnExit->setGeometry(10, 190, 128, 24);
    SetHint(btnExit, QStringLiteral("Programm beenden"));
    // The column takes the window's font, and its buttons with it.
    KeepWindowFont(gbxResult);
}

void TfrmCorvalin::CreateMenu()
{
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&Datei"));
    mniBrowse = mnuFile->addAction(StandardIcon(QStyle::SP_DirOpenIcon), QStringLiteral("Ordner &wählen"));
    mniBrowse->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuFile->addSeparator();
    mniShowFolder = mnuFile->addAction(StandardIcon(QStyle::SP_DirIcon), QStringLiteral("&Ordner Anzeigen"));
    SetHint(mniShowFolder, QStringLiteral("Konvertierte Bilder anzeigen"));
    mniConvert = mnuFile->addAction(StandardIcon(QStyle::SP_MediaPlay), QStringLiteral("&Umwandeln..."));
    mniConvert->setShortcut(QKeySequence(Qt::Key_F5));
    SetHint(mniConvert, QStringLiteral("Alle gefunden Bilder zum Konvertieren anzeigen"));
    mnuFile->addSeparator();
    mniExit = mnuFile->addAction(StandardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("&Beenden"));
    mniExit->setShortcut(QKeySequence(Qt::Key_F10));
    SetHint(mniExit, QStringLiteral("Programm beenden"));

    QMenu* mnuTools = menuBar()->addMenu(QStringLiteral("&Extras"));
    mniPreview = mnuTools->addAction(QStringLiteral("&Vorschau beim Umwandeln"));
    mniPreview->setCheckable(true);
    mnuTools->addSeparator();
    mniFotosentwickeln = mnuTools->addAction(StandardIcon(QStyle::SP_DriveNetIcon), QStringLiteral("Fotos entwickeln"));
    miCommandLineHelp = mnuTools->addAction(StandardIcon(QStyle::SP_MessageBoxQuestion), QStringLiteral("Batch-Konvertierung"));
    mnuTools->addSeparator();
    mniMoreSettings = mnuTools->addAction(StandardIcon(QStyle::SP_FileDialogDetailedView),
                                          QStringLiteral("Weitere &Einstellungen..."));
    SetHint(mniMoreSettings, QStringLiteral("Metadaten, Ausgabeverzeichnis, Namen der Kopien, vorhandene "
                                            "Dateien, Höchstgröße"));

    mnuPresets = menuBar()->addMenu(QStringLiteral("&Voreinstellungen"));
    mniSavePreset =
        mnuPresets->addAction(StandardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("&Speichern unter..."));
    SetHint(mniSavePreset, QStringLiteral("Die aktuellen Einstellungen unter einem Namen speichern"));
    mnuLoadPreset = mnuPresets->addMenu(QStringLiteral("&Laden"));
    mnuDeletePreset = mnuPresets->addMenu(QStringLiteral("L&öschen"));

    QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    mniDocumentation = mnuHelp->addAction(StandardIcon(QStyle::SP_DialogHelpButton), QStringLiteral("&Dokumentation"));
    mniDocumentation->setShortcut(QKeySequence(Qt::Key_F1));
    mniAbout = mnuHelp->addAction(StandardIcon(QStyle::SP_MessageBoxInformation), QStringLiteral("&Informationen"));
    mniAbout->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    SetHint(mniAbout, QStringLiteral("Weitere Informationen zum Programm"));
    mniWebsite = mnuHelp->addAction(StandardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("&Webseite"));
    SetHint(mniWebsite, QStringLiteral("Besuchen Sie unsere Webseite"));
    mniDownloadUpdate = mnuHelp->addAction(StandardIcon(QStyle::SP_ArrowDown), QStringLiteral("&Update herunterladen"));
    SetHint(mniDownloadUpdate, QStringLiteral("Neuere Version des Programms herunterladen"));
    mnuHelp->addSeparator();
    mniEmail = mnuHelp->addAction(StandardIcon(QStyle::SP_FileDialogContentsView), QStringLiteral("&Email"));
    SetHint(mniEmail, QStringLiteral("Senden Sie uns eine Nachricht"));
}

void TfrmCorvalin::ConnectHandlers()
{
    auto on = [this](auto* sender, auto signal, void (TfrmCorvalin::*handler)()) {
        connect(sender, signal, this, [this, handler] { (this->*handler)(); });
    };
    on(btnBrowse, &QToolButton::clicked, &TfrmCorvalin::btnBrowseClick);
    on(mniBrowse, &QAction::triggered, &TfrmCorvalin::btnBrowseClick);
    on(btnShowFolder, &QPushButton::clicked, &TfrmCorvalin::btnShowFolderClick);
    on(mniShowFolder, &QAction::triggered, &TfrmCorvalin::btnShowFolderClick);
    on(btnConvert, &QPushButton::clicked, &TfrmCorvalin::btnConvertClick);
    on(mniConvert, &QAction::triggered, &TfrmCorvalin::btnConvertClick);
    on(btnExit, &QPushButton::clicked, &TfrmCorvalin::btnExitClick);
    on(mniExit, &QAction::triggered, &TfrmCorvalin::btnExitClick);
    on(mniPreview, &QAction::triggered, &TfrmCorvalin::mniPreviewClick);
    on(calcTypeButtons, &QButtonGroup::idClicked, &TfrmCorvalin::UpdateControlsClick);
    on(rotateButtons, &QButtonGroup::idClicked, &TfrmCorvalin::UpdateControlsClick);
    on(cboConvertFormat, &QComboBox::activated, &TfrmCorvalin::UpdateControlsClick);
    on(cboColorDepth, &QComboBox::activated, &TfrmCorvalin::UpdateControlsClick);
    on(lbxFileTypes, &QListWidget::itemChanged, &TfrmCorvalin::UpdateControlsClick);
    on(cbxMarkAll, &QCheckBox::clicked, &TfrmCorvalin::cbxMarkAllClick);
    on(cbxCopyright, &QCheckBox::clicked, &TfrmCorvalin::cbxCopyrightClick);
    on(btnChooseFont, &QToolButton::clicked, &TfrmCorvalin::btnChooseFontClick);
    on(lbxResult, &QListWidget::itemClicked, &TfrmCorvalin::lbxResultClick);
    on(lbxResult, &QListWidget::currentRowChanged, &TfrmCorvalin::lbxResultClick);
    on(lbxResult, &QListWidget::itemDoubleClicked, &TfrmCorvalin::lbxResultDblClick);
    on(btnShowImage, &QPushButton::clicked, &TfrmCorvalin::btnShowImageClick);
    on(btnOrderPictures, &QPushButton::clicked, &TfrmCorvalin::btnOrderPicturesClick);
    on(mniFotosentwickeln, &QAction::triggered, &TfrmCorvalin::btnOrderPicturesClick);
    on(btnAbout, &QPushButton::clicked, &TfrmCorvalin::btnAboutClick);
    on(mniAbout, &QAction::triggered, &TfrmCorvalin::btnAboutClick);
    on(mniDocumentation, &QAction::triggered, &TfrmCorvalin::mniDocumentationClick);
    on(mniWebsite, &QAction::triggered, &TfrmCorvalin::mniWebsiteClick);
    on(mniDownloadUpdate, &QAction::triggered, &TfrmCorvalin::mniDownloadUpdateClick);
    on(mniEmail, &QAction::triggered, &TfrmCorvalin::mniEmailClick);
    on(miCommandLineHelp, &QAction::triggered, &TfrmCorvalin::miCommandLineHelpClick);
    on(btnMoreSettings, &QToolButton::clicked, &TfrmCorvalin::btnMoreSettingsClick);
    on(mniMoreSettings, &QAction::triggered, &TfrmCorvalin::btnMoreSettingsClick);
    on(mniSavePreset, &QAction::triggered, &TfrmCorvalin::mniSavePresetClick);
    on(mnuPresets, &QMenu::aboutToShow, &TfrmCorvalin::FillPresetMenus);
}

// ---------------------------------------------------------------- start and hints

void TfrmCorvalin::FormCreate(const std::vector<std::string>& parameters)
{
    LoadSettings(session_, SettingsStorePath(), PicturesFolder());
    DisplayHint(QString());
    ParseCommandLine(session_, parameters);
}

QString TfrmCorvalin::TitleLine()
{
    return QStringLiteral("Corvalin 2.3 – viele Bilder auf einmal umwandeln");
}

QString TfrmCorvalin::RunOutcome(const TRunTotals& totals, int warnings)
{
    const auto count = [](int32_t number, const char* one, const char* many) {
        return Q(InsertThousandSeparators(std::to_string(number))) + QLatin1Char(' ') +
               QString::fromUtf8(number == 1 ? one : many);
    };
    QString outcome = count(totals.converted, "Datei konvertiert", "Dateien konvertiert") +
                      QStringLiteral(", ") + Q(InsertThousandSeparators(std::to_string(totals.failed))) +
                      QStringLiteral(" fehlgeschlagen");
    if (warnings > 0)
        outcome += QStringLiteral(", ") + Q(InsertThousandSeparators(std::to_string(warnings))) +
                   QStringLiteral(" mit Warnung");
    return totals.cancelled ? QStringLiteral("Abgebrochen: ") + outcome
                            : QStringLiteral("Fertig: ") + outcome;
}

void TfrmCorvalin::DisplayHint(const QString& hint)
{
    if (!hint.isEmpty()) {
        ShowStatus(HintLongPart(hint), HintLongPart(hint));
        return;
    }
    // After a run its outcome stays readable whenever no hint is shown.
    const QString resting = lastRunOutcome_.isEmpty() ? TitleLine() : lastRunOutcome_;
    ShowStatus(resting, resting);
}

void TfrmCorvalin::ShowStatus(const QString& text, const QString& fullText)
{
    statusBar()->showMessage(text);
    // The bar draws its message in one line, clipped at its right end.
    const int room = statusBar()->contentsRect().width() - 8;
    const int needed = statusBar()->fontMetrics().horizontalAdvance(text);
    statusBar()->setToolTip(needed > room || text != fullText ? fullText : QString());
}

bool TfrmCorvalin::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        // Once a run has ended, its outcome stays in the bar until the next
        // run; the hints remain as tool tips.
        if (lastRunOutcome_.isEmpty())
            DisplayHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TfrmCorvalin::closeEvent(QCloseEvent* event)
{
    // A run in progress is cancelled first, when the user wants that; the
    // window closes once the run has written its summary.
    if (runInProgress_) {
        event->ignore();
        if (!closeAfterRun_ && askCancelRun())
            CancelRunAndClose();
        return;
    }
    if (!settingsSaved_) {
        SaveSettings(session_);
        settingsSaved_ = true;
    }
    event->accept();
    // The documentation window may still be open; closing the main window ends the program.
    QCoreApplication::quit();
}

void TfrmCorvalin::CancelRunAndClose()
{
    closeAfterRun_ = true;
    if (TfrmProgress* progress = ProgressWindow(); progress != nullptr && progress->isVisible())
        progress->close();
    else if (TfrmFileList* list = FileListWindow(); list != nullptr && !list->Running())
        list->close();
}

// ---------------------------------------------------------------- handlers

void TfrmCorvalin::btnBrowseClick()
{
    // The folder in the box, else the one the settings started with.
    std::string start = S(edtDirectory->text());
    if (start.empty() || !QFileInfo(Q(start)).isDir())
        start = folderDialogFileName_.substr(0, folderDialogFileName_.rfind('/') + 1);
    const std::optional<std::string> chosen = chooseFolder(start);
    if (!chosen)
        return;
    edtDirectory->setText(Q(chosen->ends_with('/') ? *chosen : *chosen + "/"));
}

void TfrmCorvalin::btnShowFolderClick()
{
    const std::string folder = S(edtDirectory->text());
    if (ShellOpen("explorer", folder) <= kShellNotStartedLimit)
        ShowMessage(CannotOpenText(TOpenTarget::Folder, folder));
}

void TfrmCorvalin::btnConvertClick()
{
    if (runInProgress_)
        return;
    SetRunInProgress(true);
    const auto idle = qScopeGuard([this] {
        SetRunInProgress(false);
        if (closeAfterRun_)
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
    lastRunOutcome_.clear();
    DisplayHint(QString());
    corvalin::btnConvertClick(session_);
}

void TfrmCorvalin::SetRunInProgress(bool running)
{
    runInProgress_ = running;
    btnConvert->setEnabled(!running);
    mniConvert->setEnabled(!running);
}

void TfrmCorvalin::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!runInProgress_ && !urls.isEmpty() && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void TfrmCorvalin::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (runInProgress_ || urls.isEmpty() || !urls.first().isLocalFile())
        return;
    const QFileInfo dropped(urls.first().toLocalFile());
    QString folder = dropped.isDir() ? dropped.absoluteFilePath() : dropped.absolutePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    edtDirectory->setText(folder);
    event->acceptProposedAction();
}

void TfrmCorvalin::btnExitClick()
{
    close();
}

void TfrmCorvalin::mniPreviewClick()
{
    // The action has already toggled its mark: the new mark is the wish.
    session_.Preview = mniPreview->isChecked();
    UpdateControls(session_);
}

void TfrmCorvalin::UpdateControlsClick()
{
    UpdateControls(session_);
}

void TfrmCorvalin::cbxMarkAllClick()
{
    if (lbxFileTypes->count() != std::ssize(FileTypeEntries()) || cbxMarkAll->checkState() == Qt::PartiallyChecked)
        return;
    const Qt::CheckState state = cbxMarkAll->isChecked() ? Qt::Checked : Qt::Unchecked;
    {
        const QSignalBlocker blocker(lbxFileTypes);
        for (int index = 0; index < lbxFileTypes->count(); ++index)
            lbxFileTypes->item(index)->setCheckState(state);
    }
    lbxFileTypes->viewport()->update();
    // The quality box depends on the "*.jpg" tick.
    UpdateControls(session_);
}

void TfrmCorvalin::cbxCopyrightClick()
{
    if (cbxCopyright->isChecked() && OverlayDialog() != nullptr)
        btnChooseFontClick();
}

void TfrmCorvalin::btnChooseFontClick()
{
    TfrmCopyright* dialog = EnsureOverlayDialog(session_.Overlay);
    if (dialog == nullptr)
        return;
    dialog->exec();
    // A text set with "..." is meant to be stamped.
    if (!dialog->Cancelled())
        cbxCopyright->setChecked(true);
}

void TfrmCorvalin::lbxResultClick()
{
    QListWidgetItem* item = lbxResult->currentItem();
    if (item == nullptr) {
        DisplayHint(QString());
        return;
    }
    const QString line = item->text().startsWith(QStringLiteral("___")) ? QString() : item->text();
    const QString reason = item->data(kReasonRole).toString();
    const QString path = item->data(kPathRole).toString();
    // A failed file's line holds its reason already.
    const QString shown = reason.isEmpty() || line.endsWith(reason) ? line : line + QStringLiteral(" – ") + reason;
    QString full = path.isEmpty() ? line : path;
    if (!reason.isEmpty())
        full += QLatin1Char('\n') + reason;
    ShowStatus(shown, full);
    btnShowImage->setVisible(line.contains(QStringLiteral("=>")));
    btnShowImage->setEnabled(!PathToShow(item).isEmpty());
}

void TfrmCorvalin::lbxResultDblClick()
{
    btnShowImageClick();
}

QString TfrmCorvalin::PathToShow(const QListWidgetItem* item)
{
    if (item == nullptr)
        return QString();
    const QString line = item->text();
    const qsizetype arrow = line.indexOf(QStringLiteral("=>"));
    if (arrow < 0)
        return QString();
    // A file line of a run keeps the full path of its file, whatever the
    // line shows of it.
    const QString kept = item->data(kPathRole).toString();
    if (!kept.isEmpty())
        return kept;
    // "path: size ==> size": in front of "=>" less its last character, then
    // everything before the last ":".
    const QString front = line.left(arrow).chopped(arrow > 0 ? 1 : 0);
    const qsizetype colon = front.lastIndexOf(QLatin1Char(':'));
    const QString path = colon < 0 ? QString() : front.left(colon);
    // A path shortened to "..." names no file; there is nothing to open.
    return path.startsWith(QStringLiteral("...")) ? QString() : path;
}

void TfrmCorvalin::btnShowImageClick()
{
    const QString path = PathToShow(lbxResult->currentItem());
    if (!path.isEmpty() && ShellOpen(S(path), "") <= kShellNotStartedLimit)
        ShowMessage(CannotOpenText(TOpenTarget::File, S(path)));
}

void TfrmCorvalin::OpenWebPage(const QString& url)
{
    if (!OpenUrlInBrowser(S(url)))
        ShowMessage(CannotOpenText(TOpenTarget::WebPage, S(url)));
}

void TfrmCorvalin::btnOrderPicturesClick()
{
    OpenWebPage(kWebsite + QStringLiteral("/fotos_bestellen.html?ref=Corvalin"));
}

void TfrmCorvalin::btnAboutClick()
{
    ShowAbout("Corvalin", "2.3", S(kWebsite + QStringLiteral("/?ref=Corvalin")), S(kEmail));
}

void TfrmCorvalin::mniDocumentationClick()
{
    ShowDocumentation(this);
}

void TfrmCorvalin::mniWebsiteClick()
{
    OpenWebPage(kWebsite + QStringLiteral("/?ref=Corvalin"));
}

void TfrmCorvalin::mniDownloadUpdateClick()
{
    OpenWebPage(kWebsite + QStringLiteral("/index.php?id=corvalin&checkversion=2.3"));
}

void TfrmCorvalin::mniEmailClick()
{
    if (SendMailTo(S(kEmail)) <= kShellNotStartedLimit)
        ShowMessage(CannotOpenText(TOpenTarget::Mail, S(kEmail)));
}

void TfrmCorvalin::miCommandLineHelpClick()
{
    ShowMessage(HelpText());
}

void TfrmCorvalin::btnMoreSettingsClick()
{
    TfrmMoreSettings dialog(this);
    dialog.SetChoices(scalingChoices_, metadataChoices_, outputChoices_, session_.AskBeforeReplacing);
    if (dialog.exec() != QDialog::Accepted)
        return;
    scalingChoices_ = dialog.Scaling();
    metadataChoices_ = dialog.Metadata();
    outputChoices_ = dialog.Output();
    session_.AskBeforeReplacing = dialog.AskBeforeReplacing();
    ShowResultPlacement();
}

void TfrmCorvalin::mniSavePresetClick()
{
    if (const std::optional<std::string> name = askPresetName())
        SavePreset(session_, *name);
}

void TfrmCorvalin::FillPresetMenus()
{
    mnuLoadPreset->clear();
    mnuDeletePreset->clear();
    const std::vector<std::string> names = PresetNames();
    for (const std::string& name : names) {
        connect(mnuLoadPreset->addAction(Q(name)), &QAction::triggered, this,
                [this, name] { LoadPreset(session_, name); });
        connect(mnuDeletePreset->addAction(Q(name)), &QAction::triggered, this,
                [this, name] { DeletePreset(session_, name); });
    }
    mnuLoadPreset->setEnabled(!names.empty());
    mnuDeletePreset->setEnabled(!names.empty());
}

// ---------------------------------------------------------------- settings

int32_t TfrmCorvalin::NumberBoxValue(const QSpinBox* box)
{
    // A text that is no whole number reads as the lower bound 0.
    const std::optional<int32_t> value = ParseInteger(S(box->text()));
    return value ? std::clamp(*value, int32_t(box->minimum()), int32_t(box->maximum())) : 0;
}

TConversionSettings TfrmCorvalin::CurrentSettings()
{
    TConversionSettings s;
    s.Directory = S(edtDirectory->text());
    s.SearchSubfolders = cbxSearchSubdirectories->isChecked();
    for (int position = 0; position < lbxFileTypes->count() && position < std::ssize(FileTypeEntries()); ++position)
        s.FileTypes[size_t(FileTypeFormatIndex(position) - 1)] =
            lbxFileTypes->item(position)->checkState() == Qt::Checked;
    s.Width = NumberBoxValue(edtWidth);
    s.Height = NumberBoxValue(edtHeight);
    s.Quality = NumberBoxValue(edtQuality);
    s.FitMode = calcTypeButtons->checkedId();
    s.Rotation = rotateButtons->checkedId();
    s.SaveAsCopy = cbxSaveAsCopy->isChecked();
    s.TextEnabled = cbxCopyright->isChecked();
    s.TargetFormat = cboConvertFormat->currentIndex();
    s.ColorDepth = cboColorDepth->currentIndex();
    s.Metadata = metadataChoices_;
    s.Scaling = scalingChoices_;
    s.Output = outputChoices_;
    return s;
}

void TfrmCorvalin::ApplySettings(const TConversionSettings& s)
{
    edtDirectory->setText(Q(s.Directory));
    cbxSearchSubdirectories->setChecked(s.SearchSubfolders);
    {
        const QSignalBlocker blocker(lbxFileTypes);
        for (int position = 0; position < lbxFileTypes->count() && position < std::ssize(FileTypeEntries()); ++position)
            lbxFileTypes->item(position)->setCheckState(
                s.FileTypes[size_t(FileTypeFormatIndex(position) - 1)] ? Qt::Checked : Qt::Unchecked);
    }
    edtWidth->setValue(s.Width);
    edtHeight->setValue(s.Height);
    edtQuality->setValue(s.Quality);
    SelectRadio(calcTypeButtons, s.FitMode);
    SelectRadio(rotateButtons, s.Rotation);
    cbxSaveAsCopy->setChecked(s.SaveAsCopy);
    cbxCopyright->setChecked(s.TextEnabled);
    cboConvertFormat->setCurrentIndex(s.TargetFormat);
    cboColorDepth->setCurrentIndex(s.ColorDepth);
    metadataChoices_ = s.Metadata;
    scalingChoices_ = s.Scaling;
    outputChoices_ = s.Output;
    ShowResultPlacement();
    // The radio groups report a click when their selection is set, and the
    // click keeps the dependent controls in step.
    UpdateControls(session_);
}

void TfrmCorvalin::ShowControlStates(const TControlStates& states)
{
    if (lbxFileTypes->count() == std::ssize(FileTypeEntries())) {
        switch (states.MarkAll) {
        case TCheckState::Unchecked: cbxMarkAll->setCheckState(Qt::Unchecked); break;
        case TCheckState::Checked: cbxMarkAll->setCheckState(Qt::Checked); break;
        case TCheckState::Grayed: cbxMarkAll->setCheckState(Qt::PartiallyChecked); break;
        }
    }
    edtWidth->setVisible(states.WidthVisible);
    labAutoWidth->setVisible(!states.WidthVisible);
    edtHeight->setVisible(states.HeightVisible);
    labAutoHeight->setVisible(!states.HeightVisible);
    edtQuality->setEnabled(states.QualityEnabled);
    mniPreview->setChecked(states.PreviewChecked);
}

void TfrmCorvalin::SetFolderDialogFileName(const std::string& fileName)
{
    folderDialogFileName_ = fileName;
}

// ---------------------------------------------------------------- messages and results

void TfrmCorvalin::ShowMessage(const std::string& text)
{
    showMessageBox(text);
}

void TfrmCorvalin::ClearResults()
{
    lbxResult->clear();
    // No line is chosen any more: nothing to show.
    btnShowImage->hide();
}

void TfrmCorvalin::AddResultLine(const std::string& line, const std::string& reason)
{
    auto* item = new QListWidgetItem(Q(line), lbxResult);
    if (!reason.empty()) {
        item->setData(kReasonRole, Q(reason));
        item->setToolTip(Q(reason));
    }
}

void TfrmCorvalin::AddFileResultLine(const std::string& line, const std::string& path,
                                     const std::string& reason)
{
    // A failed file says why in its line, as the command line does.
    auto* item = new QListWidgetItem(reason.empty() ? Q(line) : Q(line + " " + reason), lbxResult);
    item->setData(kPathRole, Q(path));
    item->setData(kReasonRole, Q(reason));
    item->setToolTip(reason.empty() ? Q(path) : Q(path) + QLatin1Char('\n') + Q(reason));
}

void TfrmCorvalin::SetResultLabels(const std::string& files, const std::string& before,
                                   const std::string& after)
{
    labResultFiles->setText(Q(files));
    labResultSizeBefore->setText(Q(before));
    labResultSizeAfter->setText(Q(after));
}

// ---------------------------------------------------------------- run

bool TfrmCorvalin::ConfirmReplacing()
{
    if (!session_.AskBeforeReplacing)
        return true;
    std::vector<std::string> ticked;
    for (int index = 0; index < frontEnd_.SelectionCount(); ++index)
        if (frontEnd_.SelectionTicked(index))
            ticked.push_back(frontEnd_.SelectionEntry(index));
    const TConversionSettings settings = CurrentSettings();
    const TReplacementCount count = CountReplacements(session_, settings, ticked);
    if (count == TReplacementCount{})
        return true;
    bool dontAskAgain = false;
    if (!askReplacing(ReplacementQuestion(count, settings.Output.Trash), dontAskAgain))
        return false;
    // Kept only with "Ja": a "Nein" must not turn the question off.
    if (dontAskAgain)
        session_.AskBeforeReplacing = false;
    return true;
}

bool TfrmCorvalin::RunConversionFromSelection()
{
    if (!ConfirmReplacing())
        return false;
    RunConversion(session_);
    // The summary is the last thing written: keep it in view, and say in the
    // status bar how the run ended.
    lbxResult->scrollToBottom();
    lastRunOutcome_ = RunOutcome(session_.LastRun, frontEnd_.Warnings());
    DisplayHint(QString());
    return true;
}

void TfrmCorvalin::PreviewChangedInProgress(bool preview)
{
    session_.Preview = preview;
    mniPreview->setChecked(preview);
}

// ---------------------------------------------------------------- program

void TfrmCorvalin::RequestQuit()
{
    quitRequested_ = true;
    QCoreApplication::quit();
}

}  // namespace corvalin

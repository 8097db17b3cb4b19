#include "desktop/FileList.h"

#include <exception>

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QStyle>

#include "app/ConvertPicture.h"
#include "app/FitPath.h"
#include "common/NameOrder.h"
#include "common/Tools.h"
#include "desktop/WindowSupport.h"

namespace corvalin {
namespace {

TfrmFileList* frmFileList = nullptr;

constexpr int kClientWidth = 458;
constexpr int kClientHeight = 468;
constexpr int kPathRole = Qt::UserRole;

std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.rfind('/') + 1);
}

std::string NameOf(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

// Folder by folder, and by name within each.
bool ListedBefore(const std::string& a, const std::string& b)
{
    const std::string folderA = FolderOf(a), folderB = FolderOf(b);
    if (folderA != folderB)
        return NameComesBefore(folderA, folderB);
    return NameComesBefore(NameOf(a), NameOf(b));
}

// "Seiser Alm.jpg – 1,27 KB – /home/anna/Bilder/"; a size that cannot be
// read is left out (the run reports the file's problem).
QString EntryText(const std::string& path)
{
    QString text = Q(NameOf(path));
    try {
        text += QStringLiteral(" – ") + Q(FormatByteSize(GetFileSizeOf(path)));
    } catch (const std::exception&) {
    }
    return text + QStringLiteral(" – ") + Q(FolderOf(path));
}


}  // namespace

TfrmFileList::TfrmFileList(QWidget* mainWindow) : QDialog(mainWindow)
{
    setWindowTitle(QStringLiteral("Dateien markieren..."));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::WindowModal);
    setFont(DefaultWindowFont());
    resize(kClientWidth, kClientHeight);
    setMinimumSize(300, 200);

    labTitle = new QLabel(QStringLiteral("Umzuwandelnde Dateien markieren"), this);
    labTitle->setFont(PixelFont(QStringLiteral("Arial"), 13, true));
    lbxResult = new QListWidget(this);
    lbxResult->setUniformItemSizes(true);
    // Long paths lose their middle, not their end: the file name and the
    // start of the path stay readable, and the whole path is the tool tip.
    lbxResult->setTextElideMode(Qt::ElideMiddle);
    lbxResult->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    btnConvert = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                                 QStringLiteral("&Weiter"), this);
    btnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                QStringLiteral("&Abbrechen"), this);
    btnMarkAll = new QPushButton(QStringLiteral("Alle markieren"), this);
    btnMarkNone = new QPushButton(QStringLiteral("Keine markieren"), this);
    btnConvert->setDefault(true);
    pnlStatusBar = new QStatusBar(this);
    pnlStatusBar->setSizeGripEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(6, 4, 6, 4);
    for (QPushButton* button : {btnConvert, btnCancel, btnMarkAll, btnMarkNone})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* title = new QHBoxLayout;
    title->setContentsMargins(6, 5, 6, 5);
    title->addWidget(labTitle);
    layout->addLayout(title);
    layout->addWidget(lbxResult, 1);
    layout->addLayout(buttons);
    layout->addWidget(pnlStatusBar);

    connect(btnConvert, &QPushButton::clicked, this, [this] { btnConvertClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QWidget::close);
    connect(btnMarkAll, &QPushButton::clicked, this, [this] { TickAll(true); });
    connect(btnMarkNone, &QPushButton::clicked, this, [this] { TickAll(false); });
    connect(lbxResult, &QListWidget::itemClicked, this, [this] { lbxResultClick(); });
    CloseOnEscape(this);
}

TfrmFileList::~TfrmFileList()
{
    if (frmFileList == this)
        frmFileList = nullptr;
}

void TfrmFileList::Clear()
{
    if (lbxResult->count() > 0)
        unticked_.clear();
    for (int index = 0; index < lbxResult->count(); ++index)
        if (!Ticked(index))
            unticked_.insert(Entry(index));
    lbxResult->clear();
    ShowEntryCount();
}

void TfrmFileList::Add(const std::string& path)
{
    // The list is kept in order: the new entry goes before the first that
    // comes after it.
    int low = 0;
    int high = lbxResult->count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (ListedBefore(path, Entry(middle)))
            high = middle;
        else
            low = middle + 1;
    }
    auto* item = new QListWidgetItem(EntryText(path));
    item->setData(kPathRole, Q(path));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    item->setToolTip(Q(path));
    lbxResult->insertItem(low, item);
    ShowEntryCount();
}

void TfrmFileList::TickAll(bool ticked)
{
    for (int index = 0; index < lbxResult->count(); ++index)
        lbxResult->item(index)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

void TfrmFileList::TickFound()
{
    for (int index = 0; index < lbxResult->count(); ++index)
        lbxResult->item(index)->setCheckState(unticked_.contains(Entry(index)) ? Qt::Unchecked : Qt::Checked);
}

int TfrmFileList::Count() const
{
    return lbxResult->count();
}

std::string TfrmFileList::Entry(int index) const
{
    return S(lbxResult->item(index)->data(kPathRole).toString());
}

bool TfrmFileList::Ticked(int index) const
{
    return lbxResult->item(index)->checkState() == Qt::Checked;
}

void TfrmFileList::btnConvertClick()
{
    if (running_)
        return;
    if (runConversion) {
        SetRunning(true);
        const auto unlock = qScopeGuard([this] { SetRunning(false); });
        if (!runConversion())
            return;
    }
    close();
}

void TfrmFileList::SetRunning(bool running)
{
    running_ = running;
    for (QWidget* control : std::initializer_list<QWidget*>{lbxResult, btnConvert, btnCancel,
                                                            btnMarkAll, btnMarkNone})
        control->setEnabled(!running);
}

void TfrmFileList::closeEvent(QCloseEvent* event)
{
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfrmFileList::done(int result)
{
    if (!running_)
        QDialog::done(result);
}

void TfrmFileList::lbxResultClick()
{
    const QListWidgetItem* item = lbxResult->currentItem();
    if (item == nullptr)
        return;
    const QFontMetrics metrics(pnlStatusBar->font());
    const TTextMeasure measure = [&metrics](const std::string& text) {
        return metrics.horizontalAdvance(Q(text));
    };
    pnlStatusBar->showMessage(Q(FitPathToWidth(S(item->data(kPathRole).toString()), measure, width())));
}

void TfrmFileList::ShowEntryCount()
{
    pnlStatusBar->showMessage(QString::number(lbxResult->count()) +
                              QStringLiteral(" Bilddateien gefunden"));
}

void TfrmFileList::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterOnScreen(this);
    btnConvert->setFocus();
    ShowEntryCount();
}

TfrmFileList* FileListWindow()
{
    return frmFileList;
}

TfrmFileList* EnsureFileList(QWidget* mainWindow)
{
    if (frmFileList != nullptr)
        return frmFileList;
    try {
        frmFileList = new TfrmFileList(mainWindow);
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Corvalin"), QString::fromStdString(error.what()));
        frmFileList = nullptr;
    }
    return frmFileList;
}

}  // namespace corvalin

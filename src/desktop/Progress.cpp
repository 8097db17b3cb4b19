#include "desktop/Progress.h"

#include <exception>
#include <memory>

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

#include "app/FitPath.h"
#include "common/Const.h"
#include "desktop/BitmapImage.h"
#include "desktop/WindowSupport.h"
#include "picture/Bitmap.h"

namespace corvalin {
namespace {

TfrmProgress* frmProgress = nullptr;

constexpr int kBarHeight = 41;
constexpr int kPanelHeight = 40;
constexpr int kPreviewHeight = 275;

}  // namespace

TfrmProgress::TfrmProgress(QWidget* owner)
    // Shown only while a run lasts, and then always in front, so that its
    // "&Abbrechen" stays within reach whatever window is clicked.
    : QWidget(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      scaler_([this](QImage image, uint64_t request) {
          // Runs on a thread of Qt's pool: the window takes the picture on its own.
          QMetaObject::invokeMethod(
              this, [this, image = std::move(image), request] { ShrunkPreviewReady(image, request); },
              Qt::QueuedConnection);
      })
{
    setWindowTitle(QStringLiteral("Bitte warten..."));
    setFont(DefaultWindowFont());

    pnlProgressBar = new QProgressBar(this);
    pnlProgressBar->setGeometry(0, 0, kClientWidth, kBarHeight);
    pnlProgressBar->setTextVisible(false);

    pnlMain = new QWidget(this);
    pnlMain->setGeometry(0, kBarHeight, kClientWidth, kPanelHeight);
    labFilenameTitle = new QLabel(QStringLiteral("Aktuelle Datei:"), pnlMain);
    labFilenameTitle->setGeometry(6, 3, 88, 16);
    labFilename = new QLabel(pnlMain);
    labFilename->setGeometry(98, 3, kProgressLabelWidth + 12, 16);
    cbxPreview = new QCheckBox(QStringLiteral("Vorschau (schlechtere Performance)"), pnlMain);
    cbxPreview->setGeometry(6, 20, 230, 18);
    btnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                QStringLiteral("&Abbrechen"), pnlMain);
    btnCancel->setGeometry(kClientWidth - 100, 7, 92, 26);

    imgPreview = new QLabel(this);
    imgPreview->setGeometry(0, kBarHeight + kPanelHeight, kClientWidth, kPreviewHeight);
    imgPreview->setAlignment(Qt::AlignCenter);

    connect(cbxPreview, &QCheckBox::clicked, this, [this] { cbxPreviewClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QWidget::close);
    CloseOnEscape(this);
    ApplyLayout();
}

TfrmProgress::~TfrmProgress()
{
    if (frmProgress == this)
        frmProgress = nullptr;
}

void TfrmProgress::Reset()
{
    pnlProgressBar->setMinimum(0);
    pnlProgressBar->setValue(0);
}

void TfrmProgress::SetFile(const std::string& path)
{
    const QFontMetrics metrics(labFilename->font());
    const TTextMeasure measure = [&metrics](const std::string& text) {
        return metrics.horizontalAdvance(Q(text));
    };
    // A file name wider than the label on its own loses its middle; the
    // whole path is the label's tool tip.
    const QString fitted = path.empty() ? QString() : Q(FitPathToWidth(path, measure, kProgressLabelWidth));
    labFilename->setText(metrics.elidedText(fitted, Qt::ElideMiddle, labFilename->width()));
    labFilename->setToolTip(Q(path));
}

void TfrmProgress::SetPreviewBox(bool ticked)
{
    cbxPreview->setChecked(ticked);
    ApplyLayout();
}

void TfrmProgress::ShowPicture(const TBitmap& picture)
{
    const uint64_t request = ++previewRequests_;
    if (picture.Width() <= imgPreview->width() && picture.Height() <= imgPreview->height()) {
        SetPreview(ToQImage(picture));
        return;
    }
    // The copy shares the pixels; whoever changes the picture later gets
    // pixels of its own.
    auto copy = std::make_unique<TBitmap>();
    copy->AssignPicture(&picture);
    scaler_.Shrink(std::move(copy), imgPreview->size(), request);
}

void TfrmProgress::ShrunkPreviewReady(const QImage& image, uint64_t request)
{
    if (request == previewRequests_ && cbxPreview->isChecked())
        SetPreview(image);
}

void TfrmProgress::SetPreview(const QImage& image)
{
    imgPreview->setPixmap(QPixmap::fromImage(image));
    repaint();
}

void TfrmProgress::ApplyLayout()
{
    setFixedSize(kClientWidth, cbxPreview->isChecked() ? kLargeHeight : kSmallHeight);
}

void TfrmProgress::cbxPreviewClick()
{
    if (previewChanged)
        previewChanged(cbxPreview->isChecked());
    ApplyLayout();
}

TfrmProgress* ProgressWindow()
{
    return frmProgress;
}

TfrmProgress* EnsureProgress(QWidget* owner)
{
    if (frmProgress != nullptr)
        return frmProgress;
    try {
        frmProgress = new TfrmProgress(owner);
        CenterOnScreen(frmProgress);
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Corvalin"), QString::fromStdString(error.what()));
        frmProgress = nullptr;
    }
    return frmProgress;
}

}  // namespace corvalin

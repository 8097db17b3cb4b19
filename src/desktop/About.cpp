#include "desktop/About.h"

#include <exception>

#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include "common/Shell.h"
#include "desktop/OpenFailure.h"
#include "desktop/WindowSupport.h"

namespace corvalin {
namespace {

TfrmAbout* frmAbout = nullptr;

constexpr int kLogoWidth = 97;
constexpr int kLogoHeight = 145;

// One framed photo of the logo: a white card with a sky, a hill and a sun.
void DrawPhoto(QPainter& painter, const QRectF& card, const QColor& sky)
{
    painter.setPen(QPen(QColor(40, 40, 60), 1));
    painter.setBrush(Qt::white);
    painter.drawRect(card);
    const QRectF picture = card.adjusted(4, 4, -4, -12);
    painter.setPen(Qt::NoPen);
    painter.setBrush(sky);
    painter.drawRect(picture);
    painter.setBrush(QColor(255, 214, 64));
    painter.drawEllipse(QPointF(picture.right() - 9, picture.top() + 9), 5, 5);
    QPainterPath hill;
    hill.moveTo(picture.bottomLeft());
    hill.cubicTo(picture.left() + picture.width() * 0.3, picture.center().y() - 4,
                 picture.left() + picture.width() * 0.6, picture.center().y() + 10,
                 picture.right(), picture.center().y());
    hill.lineTo(picture.bottomRight());
    hill.closeSubpath();
    painter.setBrush(QColor(60, 150, 70));
    painter.drawPath(hill);
}

// The product's logo, drawn once: two photos being turned into each other
// above the program's initial on a blue ground.
QPixmap DrawLogo()
{
    QPixmap logo(kLogoWidth, kLogoHeight);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient ground(0, 0, 0, kLogoHeight);
    ground.setColorAt(0, QColor(24, 52, 112));
    ground.setColorAt(1, QColor(14, 128, 150));
    painter.fillRect(logo.rect(), ground);

    painter.save();
    painter.translate(40, 40);
    painter.rotate(-12);
    DrawPhoto(painter, QRectF(-30, -24, 52, 44), QColor(120, 180, 230));
    painter.restore();
    painter.save();
    painter.translate(56, 62);
    painter.rotate(8);
    DrawPhoto(painter, QRectF(-26, -20, 52, 44), QColor(150, 200, 240));
    painter.restore();

    painter.setPen(QColor(255, 255, 255, 230));
    painter.setFont(PixelFont(QStringLiteral("DejaVu Serif"), 44, true));
    painter.drawText(QRect(0, 86, kLogoWidth, 50), Qt::AlignCenter, QStringLiteral("C"));
    painter.setPen(QColor(255, 214, 64));
    painter.drawLine(QPointF(20, 134), QPointF(77, 134));
    return logo;
}

QToolButton* FlatLinkButton(QWidget* parent, const QString& caption, QStyle::StandardPixmap icon)
{
    auto* button = new QToolButton(parent);
    button->setText(caption);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

}  // namespace

TfrmAbout::TfrmAbout()
{
    setWindowTitle(QStringLiteral("Über..."));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(DefaultWindowFont());
    FixClientSize(this, 385, 201);

    auto* pnlMain = new QFrame(this);
    pnlMain->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnlMain->setGeometry(0, 0, 385, 177);

    imgLogo = new QLabel(pnlMain);
    imgLogo->setGeometry(16, 16, 97, 145);
    imgLogo->setPixmap(DrawLogo());
    imgLogo->setScaledContents(true);
    auto* pnlPicture = new QFrame(pnlMain);
    pnlPicture->setFrameStyle(QFrame::Box | QFrame::Sunken);
    pnlPicture->setGeometry(15, 15, 99, 147);
    pnlPicture->lower();

    labName = new QLabel(QStringLiteral("Programmname"), pnlMain);
    labName->setFont(PixelFont(QStringLiteral("Arial"), 27, true));
    labName->setGeometry(128, 12, 245, 34);

    labVersion = new QLabel(QStringLiteral("Version 1.2"), pnlMain);
    labVersion->setFont(PixelFont(QStringLiteral("Arial"), 16, true));
    labVersion->setStyleSheet(QStringLiteral("color: black"));
    labVersion->setAlignment(Qt::AlignCenter);
    labVersion->setGeometry(256, 48, 117, 22);

    labAutor = new QLabel(QStringLiteral("Hestrad"), pnlMain);
    QFont autorFont = PixelFont(QStringLiteral("Copperplate Gothic Light"), 19, true);
    autorFont.setCapitalization(QFont::SmallCaps);
    labAutor->setFont(autorFont);
    labAutor->setStyleSheet(QStringLiteral("color: navy"));
    labAutor->setAlignment(Qt::AlignCenter);
    labAutor->setGeometry(128, 78, 245, 26);

    btnEmail = FlatLinkButton(pnlMain, QStringLiteral("Email an den Autor senden"),
                              QStyle::SP_FileDialogContentsView);
    btnEmail->setGeometry(128, 112, 245, 22);
    btnEmail->setToolTip(QStringLiteral("Senden Sie uns eine Email"));
    btnWebsite = FlatLinkButton(pnlMain, QStringLiteral("Homepage des Autors besuchen"),
                                QStyle::SP_DirHomeIcon);
    btnWebsite->setGeometry(128, 134, 245, 22);
    btnWebsite->setToolTip(QStringLiteral("Besuchen Sie unsere Webseite"));

    btnClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                               QStringLiteral("&Schließen"), this);
    btnClose->setFont(PixelFont(QStringLiteral("Arial"), 16, true));
    btnClose->setGeometry(0, 176, 385, 25);
    btnClose->setCursor(Qt::PointingHandCursor);
    btnClose->setDefault(true);
    btnClose->setFocus();

    connect(btnEmail, &QToolButton::clicked, this, [this] { btnEmailClick(); });
    connect(btnWebsite, &QToolButton::clicked, this, [this] { btnWebsiteClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
    CloseOnEscape(this);
}

void TfrmAbout::btnEmailClick()
{
    const std::string address = S(btnEmail->toolTip());
    if (SendMailTo(address) <= kShellNotStartedLimit)
        SayCannotOpen(this, TOpenTarget::Mail, address);
}

void TfrmAbout::btnWebsiteClick()
{
    const std::string website = S(btnWebsite->toolTip());
    if (!OpenUrlInBrowser(website))
        SayCannotOpen(this, TOpenTarget::WebPage, website);
}

void TfrmAbout::btnCloseClick()
{
    close();
}

TfrmAbout* AboutWindow()
{
    return frmAbout;
}

void ShowAbout(const std::string& name, const std::string& version,
               const std::string& website, const std::string& email)
{
    try {
        if (frmAbout == nullptr)
            frmAbout = new TfrmAbout();
        frmAbout->labName->setText(Q(name));
        frmAbout->labVersion->setText(QStringLiteral("Version ") + Q(version));
        frmAbout->btnEmail->setToolTip(Q(email));
        frmAbout->btnWebsite->setToolTip(Q(website));
        CenterOnScreen(frmAbout);
        frmAbout->btnClose->setFocus();
        frmAbout->exec();
    } catch (const std::exception&) {
        QMessageBox::information(nullptr, QStringLiteral("Corvalin"),
                                 Q(name) + QStringLiteral(" Version ") + Q(version));
    }
}

}  // namespace corvalin

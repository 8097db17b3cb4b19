#include "desktop/WindowSupport.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>
#include <QWidget>

namespace corvalin {

void UseGermanQtTexts(QCoreApplication& application)
{
    auto* translator = new QTranslator(&application);
    if (translator->load(QStringLiteral("qtbase_de"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

QFont PixelFont(const QString& family, int pixels, bool bold)
{
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QFont DefaultWindowFont()
{
    return PixelFont(QStringLiteral("MS Sans Serif"), 11);
}

QString HintShortPart(const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

QString HintLongPart(const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

void SetHint(QWidget* control, const QString& hint)
{
    control->setToolTip(HintShortPart(hint));
    control->setStatusTip(hint);
}

void SetHint(QAction* action, const QString& hint)
{
    action->setToolTip(HintShortPart(hint));
    action->setStatusTip(hint);
}

namespace {

// Sees every key press of the application before the control that has the
// focus, and closes its window on Esc pressed anywhere inside it. A drop-down
// list, menu or completer that is open is a window of its own (a popup), so
// Esc there reaches the popup and closes only the popup. A window-wide
// shortcut would not do: shortcuts are tried before an open popup sees the
// key, and Esc on an open list would close the whole window.
class TEscapeCloser : public QObject {
public:
    explicit TEscapeCloser(QWidget* window) : QObject(window), window_(window)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !receiver->isWidgetType())
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier)
            return false;
        if (static_cast<QWidget*>(receiver)->window() != window_ ||
            QApplication::activePopupWidget() != nullptr)
            return false;
        window_->close();
        return true;
    }

private:
    QWidget* window_;
};

}  // namespace

void CloseOnEscape(QWidget* window)
{
    new TEscapeCloser(window);
}

void FixClientSize(QWidget* window, int width, int height)
{
    window->setFixedSize(width, height);
}

void CenterOnScreen(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void FitOnScreen(QWidget* window)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect room = screen->availableGeometry();
    QSize frame = window->frameGeometry().size() - window->size();
    // Before the window manager has framed the window its frame is unknown:
    // allow for a generous title bar and borders.
    if (frame.width() <= 0 && frame.height() <= 0)
        frame = QSize(16, 48);
    window->resize(window->size().boundedTo(room.size() - frame));
    QRect placed(QPoint(), window->size() + frame);
    placed.moveCenter(room.center());
    window->move(std::max(placed.left(), room.left()), std::max(placed.top(), room.top()));
}

void CenterOver(QWidget* window, const QWidget* parent)
{
    if (parent == nullptr || !parent->isVisible()) {
        CenterOnScreen(window);
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(parent->frameGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace corvalin

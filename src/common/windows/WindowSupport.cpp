#include "common/windows/WindowSupport.h"

#include <QAction>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QShortcut>
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

void CloseOnEscape(QWidget* window)
{
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
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

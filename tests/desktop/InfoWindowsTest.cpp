// The about and documentation windows.
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "desktop/About.h"
#include "desktop/Documentation.h"

using namespace corvalin;

TEST(AboutWindow, ShowsTheLastValuesPassedAndHandsItsButtonsToTheLauncher)
{
    windowtest::RecordingLauncher launcher;
    unsetenv("BROWSER");
    QStringList seen;
    windowtest::OnNextModal([&seen](QWidget* modal) {
        auto* about = dynamic_cast<TfrmAbout*>(modal);
        ASSERT_NE(about, nullptr);
        seen << about->windowTitle() << about->labName->text() << about->labVersion->text()
             << about->btnEmail->toolTip() << about->btnWebsite->toolTip();
        QTest::mouseClick(about->btnEmail, Qt::LeftButton);
        QTest::mouseClick(about->btnWebsite, Qt::LeftButton);
        EXPECT_TRUE(about->isVisible());  // stays open while the programs start
        QTest::keyClick(about, Qt::Key_Escape);
        EXPECT_FALSE(about->isVisible());
    });
    ShowAbout("Corvalin", "2.3", "http://www.hestrad.example/?ref=Corvalin", "info@hestrad.example");
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Über..."), QStringLiteral("Corvalin"),
                                 QStringLiteral("Version 2.3"), QStringLiteral("info@hestrad.example"),
                                 QStringLiteral("http://www.hestrad.example/?ref=Corvalin")}));
    const std::vector<std::string> expected = {"xdg-open mailto:info@hestrad.example",
                                               "xdg-open http://www.hestrad.example/?ref=Corvalin"};
    EXPECT_EQ(launcher.calls, expected);

    TfrmAbout* first = AboutWindow();
    windowtest::OnNextModal([&seen](QWidget* modal) {
        auto* about = static_cast<TfrmAbout*>(modal);
        seen = {about->labVersion->text(), about->btnEmail->toolTip()};
        QTest::mouseClick(about->btnClose, Qt::LeftButton);
    });
    ShowAbout("Corvalin", "2.4", "http://other.example", "post@other.example");
    EXPECT_EQ(AboutWindow(), first);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Version 2.4"), QStringLiteral("post@other.example")}));
    EXPECT_FALSE(first->isVisible());
}

TEST(DocumentationWindow, ShowsTheHelpTextAndIsBroughtBackNotCreatedTwice)
{
    ShowDocumentation();
    TfrmDocumentation* window = DocumentationWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Corvalin - Dokumentation"));
    const QStringList lines = DocumentationParagraphs();
    ASSERT_EQ(lines.size(), 15);
    EXPECT_EQ(lines[0], QStringLiteral("Hilfe zum Corvalin"));
    EXPECT_EQ(lines[1], QString(33, QLatin1Char('_')));
    EXPECT_EQ(lines[2], QString());
    EXPECT_EQ(lines[3], QStringLiteral("Hestrad Corvalin ist ein Tool, um mehrere Bild-Dateien (*.jpg, "
                                       "*.gif, *.tif, *.bmp, *.ico, *.png, "));
    EXPECT_EQ(lines[10], QStringLiteral("Mit dem Corvalin können Sie Ihre ganzen Urlaubsfotos mit nur "
                                        "einem Klick verkleineren, "));
    EXPECT_EQ(lines[14], QStringLiteral("Kommandozeile aus."));
    // The window shows them as paragraphs that it wraps at its width.
    const QStringList shown = window->memoDocumentation->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(shown.size(), 10);
    EXPECT_EQ(shown[3], lines[3] + lines[4] + lines[5]);
    EXPECT_EQ(shown[5], QStringLiteral("Zusätzlich sind weitere Funktionen, wie das automatische Drehen "
                                       "oder Einfügen von Copyright-Texten möglich."));
    EXPECT_EQ(shown[9], lines[13] + lines[14]);
    EXPECT_EQ(window->memoDocumentation->lineWrapMode(), QTextEdit::WidgetWidth);
    EXPECT_TRUE(window->memoDocumentation->isReadOnly());

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->memoDocumentation, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    ShowDocumentation();
    EXPECT_EQ(DocumentationWindow(), window);
    EXPECT_TRUE(window->isVisible());
}

TEST(AboutWindow, SaysWhenTheMailProgramOrBrowserCannotBeStarted)
{
    windowtest::RecordingLauncher launcher;
    launcher.starts = false;
    QStringList messages;
    windowtest::OnNextModal([&messages](QWidget* modal) {
        auto* about = static_cast<TfrmAbout*>(modal);
        for (QToolButton* button : {about->btnEmail, about->btnWebsite}) {
            QString text;
            windowtest::AnswerNextMessageBox(&text);
            QTest::mouseClick(button, Qt::LeftButton);
            messages << text;
        }
    });
    ShowAbout("Corvalin", "2.3", "http://www.hestrad.example/?ref=Corvalin", "info@hestrad.example");
    EXPECT_EQ(messages, (QStringList{
        QStringLiteral("Das E-Mail-Programm konnte für \"info@hestrad.example\" nicht gestartet werden!"),
        QStringLiteral("Die Webseite \"http://www.hestrad.example/?ref=Corvalin\" konnte nicht geöffnet werden!")}));
}

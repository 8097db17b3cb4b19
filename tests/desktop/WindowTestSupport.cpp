#include "WindowTestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include "formats/BitmapEx.h"
#include "picture/Canvas.h"

namespace windowtest {

PrivateSettings::PrivateSettings()
{
    setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
}

PrivateSettings::~PrivateSettings()
{
    unsetenv("XDG_CONFIG_HOME");
}

std::string PrivateSettings::StoreText() const
{
    std::ifstream file(StoreFile());
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

QTimer* OnNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            return;
        timer->stop();
        timer->deleteLater();
        action(modal);
        if (modal->isVisible())
            modal->close();
    });
    timer->start();
    return timer;
}

void AnswerNextMessageBox(QString* text)
{
    OnNextModal([text](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            *text = box->text();
    });
}

void WriteBmp(const std::string& path, int width, int height, uint32_t rgb)
{
    corvalin::TBitmapEx picture;
    picture.SetPictureWidth(width);
    picture.SetPictureHeight(height);
    const corvalin::TColor color = corvalin::RGB(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.Canvas().WritePixel(x, y, color);
    picture.SaveToFileEx(path, 85);
}

}  // namespace windowtest

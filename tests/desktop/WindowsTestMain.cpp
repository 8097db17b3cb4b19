// Every window test runs inside one QApplication on the offscreen platform.
#include <QApplication>

#include <gtest/gtest.h>

#include "desktop/WindowSupport.h"

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setFont(corvalin::DefaultWindowFont());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

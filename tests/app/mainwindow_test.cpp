#include "app/ui/quenormain.h"

#include <QApplication>
#include <gtest/gtest.h>

TEST(MainWindow, OpensWithTheNonameCaption)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    quenor::TfrmQuenor window;
    window.show();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quenor - Noname"));
    window.SetFileCaption(QStringLiteral("pump.vek"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quenor - pump.vek"));
}

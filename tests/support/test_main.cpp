#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Widgets run offscreen; nothing here may open a window on a real display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

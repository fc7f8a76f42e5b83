// Test entry for every suite: a real QApplication on Qt's offscreen platform, so that
// timers, posted calls and widgets behave as they do in the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("ARVEX_BUILD_DIR", ARVEX_BUILD_DIR_DEFAULT, 0);
    ::setenv("ARVEX_SOURCE_DIR", ARVEX_SOURCE_DIR_DEFAULT, 0);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Solvenda Control Update");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include <QApplication>
#include <gtest/gtest.h>

#include "drawing/drawing_export_qt.h"

// Every test program may open windows: they run offscreen, never on a real display.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // As in the program: large drawings load.
    ziv::AllowLargeDrawings();
    return RUN_ALL_TESTS();
}

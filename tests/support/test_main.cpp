#include <QApplication>
#include <gtest/gtest.h>

#include "drawing/drawing_export_qt.h"
#include "platform/share_lock.h"

// Every test program may open windows: they run offscreen, never on a real display.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // As in the program: saves of shared files take their lock, large drawings load.
    ziv::UseStationFileLocks();
    ziv::AllowLargeDrawings();
    return RUN_ALL_TESTS();
}

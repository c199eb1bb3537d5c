#include <QApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

#include "drawing/drawing_export_qt.h"

// Every test program may open windows: they run offscreen, never on a real display.
int main(int argc, char** argv) {
    // A full HD desktop, as at the machines: windows of their designed size fit
    // on it, and only what tests make larger is brought back to the screen.
    const QByteArray screens = QDir::temp().filePath(QString("ziv-test-screen-%1.json").arg(::getpid())).toUtf8();
    if (QFile file(QString::fromUtf8(screens)); file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(R"({"screens": [{"name": "ziv", "x": 0, "y": 0, "width": 1920, "height": 1200}]})");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // As in the program: large drawings load.
    ziv::AllowLargeDrawings();
    // Programs the tests start inherit the setting: the file stays while they may run.
    const int failed = RUN_ALL_TESTS();
    QFile::remove(QString::fromUtf8(screens));
    return failed;
}

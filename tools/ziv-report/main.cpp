// ziv-report: the inspection report and the process capability of the day
// workbooks, as a window (no arguments) or on the command line.
#include <QApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_line.h"
#include "drawing/drawing_export_qt.h"
#include "records/day_book_name.h"
#include "report_window.h"
#include "platform/japanese_ui_qt.h"

namespace {

// "screenshot PRODUCT_DIR FROM TO OUT.png [ROW [histogram|fixed]]": the window
// after collecting a range, with a row of the table selected (and its
// histogram shown, or its control charts against the fixed limits); pictures
// for the README and the desktop tests.
int Screenshot(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ziv::AllowLargeDrawings();
    auto from = ziv::ParseDate(argv[3]);
    auto to = ziv::ParseDate(argv[4]);
    if (!from || !to) return 1;
    ziv::report::ReportWindow window;
    // What a 1366 x 768 screen leaves a window inside its frame, under a panel.
    window.resize(1366, 700);
    window.SetProductFolder(QString::fromLocal8Bit(argv[2]));
    window.SetRange(*from, *to);
    window.show();
    window.StartCollecting();
    while (window.IsCollecting()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    window.SelectPoint(argc > 6 ? std::atoi(argv[6]) : 0);
    if (argc > 7 && std::string(argv[7]) == "histogram") window.ShowHistogram();
    if (argc > 7 && std::string(argv[7]) == "fixed") window.ShowFixedLimits(true);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    return window.grab().save(QString::fromLocal8Bit(argv[5])) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 6 && std::string(argv[1]) == "screenshot") return Screenshot(argc, argv);
    if (argc > 1) {
        // The PDF writer needs fonts but no screen: scripts run without one.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        ziv::AllowLargeDrawings();
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
        return ziv::report::RunCommandLine(args);
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("ZIV"));
    QApplication::setApplicationName(QStringLiteral("ziv-report"));
    ziv::UseJapanese(app);
    ziv::AllowLargeDrawings();
    ziv::report::ReportWindow window;
    window.show();
    return app.exec();
}
